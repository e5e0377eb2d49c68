// oapi::Module's default callbacks, module registration and Date2Int.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "World.h"

namespace oapi {

Module::Module(HINSTANCE hDLL) : hModule(hDLL) {}
Module::~Module() = default;
void Module::clbkSimulationStart(RenderMode) {}
void Module::clbkSimulationEnd() {}
void Module::clbkPreStep(double, double, double) {}
void Module::clbkPostStep(double, double, double) {}
void Module::clbkTimeJump(double, double, double) {}
void Module::clbkFocusChanged(OBJHANDLE, OBJHANDLE) {}
void Module::clbkTimeAccChanged(double, double) {}
void Module::clbkNewVessel(OBJHANDLE) {}
void Module::clbkDeleteVessel(OBJHANDLE) {}
void Module::clbkVesselJump(OBJHANDLE) {}
void Module::clbkPause(bool) {}

}  // namespace oapi

void oapiRegisterModule(oapi::Module* module) {
    if (module == nullptr) return;
    simhost::World& world = simhost::TheWorld();
    world.registered.push_back(simhost::RegisteredModule{module, world.loadingModule});
}

// "Mmm dd yyyy" as year * 10000 + month * 100 + day; 0 when it does not read.
int Date2Int(const char* date) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (date == nullptr) return 0;
    char month[4] = {};
    int day = 0, year = 0;
    if (std::sscanf(date, "%3s %d %d", month, &day, &year) != 3) return 0;
    for (int m = 0; m < 12; ++m)
        if (strcasecmp(month, months[m]) == 0) return year * 10000 + (m + 1) * 100 + day;
    return 0;
}
