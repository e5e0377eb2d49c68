// Ctrl-C, Ctrl-Break and closing the console ask the run to end, as SIGINT
// and SIGTERM do on POSIX; the run loop polls for it.
#include "StopSignal.h"

#include <windows.h>

#include <atomic>

namespace simhost_app {

namespace {

std::atomic<bool> stopFlag{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            stopFlag = true;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void InstallStopSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool StopRequested() { return stopFlag; }

}  // namespace simhost_app
