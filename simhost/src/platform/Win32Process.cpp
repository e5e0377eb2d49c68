// Win32 calls about the process, its threads, its folder and the wall clock.
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "win32_standin.h"

void GetLocalTime(SYSTEMTIME* time) {
    if (time == nullptr) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::memset(time, 0, sizeof *time);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000L);
}

DWORD GetCurrentThreadId() {
    // The kernel's id, as log lines of several threads must tell them apart;
    // asked once per thread (the host asks on every replaced call).
    thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
    return id;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    std::string folder(256, '\0');
    while (getcwd(&folder[0], folder.size()) == nullptr) {
        if (errno != ERANGE) return 0;
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    const DWORD length = static_cast<DWORD>(folder.size());
    // Too small: the size needed, terminator included, and nothing written.
    if (buffer == nullptr || bufferLength < length + 1) return length + 1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return length;
}

BOOL DeleteFileA(LPCSTR path) { return path != nullptr && unlink(path) == 0 ? TRUE : FALSE; }
