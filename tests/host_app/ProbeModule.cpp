// A plug-in module for the program tests: it records, in "probe.log" in the
// current folder, when the host starts and ends the simulation, how many
// steps it saw and when the module is unloaded.
#include <cstdio>

#include "Orbitersdk.h"

namespace {

void logLine(const char* text) {
    if (std::FILE* f = std::fopen("probe.log", "a")) {
        std::fprintf(f, "%s\n", text);
        std::fclose(f);
    }
}

class Probe : public oapi::Module {
public:
    explicit Probe(HINSTANCE instance) : oapi::Module(instance) {}
    void clbkSimulationStart(RenderMode) override { logLine("start"); }
    void clbkPostStep(double, double, double) override {
        ++steps_;
        std::snprintf(oapiDebugString(), 256, "probe step %ld", steps_);
    }
    void clbkSimulationEnd() override {
        char text[64];
        std::snprintf(text, sizeof text, "end steps=%ld", steps_);
        logLine(text);
    }

private:
    long steps_ = 0;
};

}  // namespace

DLLCLBK void InitModule(HINSTANCE instance) { oapiRegisterModule(new Probe(instance)); }
DLLCLBK void ExitModule(HINSTANCE) { logLine("exit"); }
