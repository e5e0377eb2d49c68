// The host's system clock: real monotonic seconds, or a virtual clock that
// tests and fast runs step by hand. Sleep advances the virtual clock instead
// of waiting, so a module's bounded waits cost no real time there.
#include <time.h>

#include <cerrno>
#include <mutex>

#include "PlatformServices.h"

namespace simhost {
namespace {

std::mutex clockMutex;
bool useVirtual = false;
double virtualNow = 0.0;

double RealSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

void ClockUseVirtual(bool on, double start) {
    std::lock_guard<std::mutex> lock(clockMutex);
    useVirtual = on;
    virtualNow = start;
}

bool ClockIsVirtual() {
    std::lock_guard<std::mutex> lock(clockMutex);
    return useVirtual;
}

double ClockNow() {
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        if (useVirtual) return virtualNow;
    }
    return RealSeconds();
}

void ClockSet(double t) {
    std::lock_guard<std::mutex> lock(clockMutex);
    if (useVirtual) virtualNow = t;
}

void ClockAdvance(double dt) {
    std::lock_guard<std::mutex> lock(clockMutex);
    if (useVirtual) virtualNow += dt;
}

}  // namespace simhost

void Sleep(DWORD milliseconds) {
    // Whatever a module sent before it waits has left by then.
    simhost::SocketsFlushSends();
    {
        std::lock_guard<std::mutex> lock(simhost::clockMutex);
        if (simhost::useVirtual) {
            simhost::virtualNow += static_cast<double>(milliseconds) / 1000.0;
            return;
        }
    }
    // A wait must not disturb the last socket error a module may read next.
    const int savedErrno = errno;
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    // Resume after a signal with the time that is left.
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
    errno = savedErrno;
}
