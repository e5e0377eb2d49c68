// The host's clock functions.
#include <algorithm>
#include <cmath>

#include "platform/PlatformServices.h"
#include "VectorMath.h"
#include "World.h"

using simhost::TheWorld;

double oapiGetSimTime() { return TheWorld().simTime; }
double oapiGetSimStep() { return TheWorld().simStep; }
double oapiGetSysTime() { return simhost::ClockNow(); }
double oapiGetSimMJD() { return TheWorld().mjd; }

bool oapiSetSimMJD(double mjd, int pmode) {
    if (!std::isfinite(mjd)) return false;
    simhost::World& world = TheWorld();
    const double jump = (mjd - world.mjd) * simhost::kSecondsPerDay;
    simhost::JumpAll(jump, pmode);
    world.mjd = mjd;
    world.simTime += jump;
    simhost::ForEachModule([&](oapi::Module& m) { m.clbkTimeJump(world.simTime, jump, world.mjd); });
    return true;
}

double oapiGetTimeAcceleration() { return TheWorld().warp; }

void oapiSetTimeAcceleration(double warp) {
    if (warp != warp) return;
    simhost::World& world = TheWorld();
    const double old = world.warp;
    world.warp = std::clamp(warp, 1.0, 100000.0);
    if (world.warp != old) simhost::ForEachModule([&](oapi::Module& m) { m.clbkTimeAccChanged(world.warp, old); });
}

bool oapiGetPause() { return TheWorld().paused; }

void oapiSetPause(bool pause) {
    simhost::World& world = TheWorld();
    if (world.paused == pause) return;
    world.paused = pause;
    simhost::ForEachModule([&](oapi::Module& m) { m.clbkPause(pause); });
}
