// The host's system clock: real monotonic seconds, or a virtual clock that
// tests and fast runs step by hand. The stand-in Sleep advances the virtual
// clock instead of waiting, so a module's bounded waits cost no real time
// there.
#include <chrono>
#include <mutex>

#include "PlatformServices.h"

namespace simhost {
namespace {

std::mutex clockMutex;
bool useVirtual = false;
double virtualNow = 0.0;

double RealSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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

bool ClockAdvance(double dt) {
    std::lock_guard<std::mutex> lock(clockMutex);
    if (useVirtual) virtualNow += dt;
    return useVirtual;
}

}  // namespace simhost
