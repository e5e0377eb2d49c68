#include "BenchWorld.h"

#include <cmath>
#include <cstdio>

#include "TestVessels.h"

namespace bench {

const std::vector<std::string>& BundledClasses() {
    static const std::vector<std::string> classes = {"Shuttle2", "Capsule1",   "Station3",
                                                     "Tug0",     "Freighter2", "XRSample"};
    return classes;
}

void ResetHost(const TempWorkspace& workspace) {
    simhost::HostOptions options;
    options.rootDir = workspace.path().string();
    options.classDirs = {std::string(HELM_BENCH_SOURCE_DIR) + "/config/Vessels"};
    options.moduleDirs = {HELM_BENCH_BIN_DIR};
    simhost::Host::instance().reset(options);
}

std::vector<OBJHANDLE> AddVessels(int count) {
    std::vector<OBJHANDLE> vessels;
    const std::vector<std::string>& classes = BundledClasses();
    for (int i = 0; i < count; ++i) {
        // Spread over a range of circular orbits so that no two overlap.
        const double radius = 6.8e6 + 1.0e4 * i;
        char name[16];
        std::snprintf(name, sizeof name, "V%03d", i);
        const std::string& className = classes[static_cast<size_t>(i) % classes.size()];
        vessels.push_back(
            CreateVesselAt(name, className, _V(radius, 0, 0), _V(0, 7.6e3 * std::sqrt(6.8e6 / radius), 0)));
    }
    return vessels;
}

std::vector<OBJHANDLE> OfClass(const std::vector<OBJHANDLE>& vessels, const std::string& className) {
    std::vector<OBJHANDLE> found;
    for (OBJHANDLE handle : vessels) {
        VESSEL* vessel = oapiGetVesselInterface(handle);
        if (vessel != nullptr && className == vessel->GetClassNameA()) found.push_back(handle);
    }
    return found;
}

}  // namespace bench
