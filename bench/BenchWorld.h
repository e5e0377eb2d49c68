// The stand-in host set up for a benchmark: a fresh working folder, the
// bundled vessel class descriptions and class modules, vessels of those
// classes in orbit.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "SimHost.h"
#include "TempWorkspace.h"

namespace bench {

// The bundled classes an update carries, one of each interface version the
// modules handle and the XR sample. Future4 is left out: the modules send
// no state for its interface and log that at every update.
const std::vector<std::string>& BundledClasses();

// A host with nothing in it, rooted in `workspace`, on the virtual clock.
void ResetHost(const TempWorkspace& workspace);

// `count` vessels "V000", "V001", ... cycling through the bundled classes.
std::vector<OBJHANDLE> AddVessels(int count);

// The vessels of `vessels` whose class is `className`.
std::vector<OBJHANDLE> OfClass(const std::vector<OBJHANDLE>& vessels, const std::string& className);

using Clock = std::chrono::steady_clock;
inline double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}
// The seconds `work` takes.
template <class Work>
double Timed(Work&& work) {
    const Clock::time_point start = Clock::now();
    work();
    return Seconds(start, Clock::now());
}

}  // namespace bench
