#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>

#include "ProgramPlatform.h"

namespace {

std::atomic<bool> stopRequested{false};

// Runs on a thread of its own. A console being closed ends the process as
// soon as this returns: the loop gets a moment to print what it has.
BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            stopRequested = true;
            return TRUE;
        case CTRL_CLOSE_EVENT:
            stopRequested = true;
            Sleep(2000);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool OutputIsAnsiTerminal() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    // Not a console (a file or a pipe): frames go out one after the other.
    if (output == INVALID_HANDLE_VALUE || output == nullptr || !GetConsoleMode(output, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    // A console older than Windows 10 refuses: it would print the sequences.
    return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void CatchStopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool StopRequested() { return stopRequested; }

bool UtcTimeOf(std::time_t moment, std::tm& utc) { return gmtime_s(&utc, &moment) == 0; }

bool LocalTimeOf(std::time_t moment, std::tm& local) { return localtime_s(&local, &moment) == 0; }
