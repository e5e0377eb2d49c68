// A tiny plug-in module for the host's module frame tests. It leaves a trace
// of each call in the debug string, the one buffer both sides share.
#include <cstring>

#include "Orbitersdk.h"

namespace {

void Trace(const char* event) {
    char* text = oapiDebugString();
    size_t used = std::strlen(text);
    size_t length = std::strlen(event);
    if (used + length + 2 > 256) return;
    std::memcpy(text + used, event, length);
    text[used + length] = ';';
    text[used + length + 1] = '\0';
}

class TracePlugin : public oapi::Module {
public:
    explicit TracePlugin(HINSTANCE h) : oapi::Module(h) {}
    ~TracePlugin() override { Trace("deleted"); }
    void clbkSimulationStart(RenderMode) override { Trace("start"); }
    void clbkPostStep(double, double, double) override {
        Trace(GetModuleHandleA("HostTestPlugin") == GetModule() ? "step-own-handle" : "step-other-handle");
    }
};

}  // namespace

DLLCLBK void InitModule(HINSTANCE h) {
    Trace("init");
    oapiRegisterModule(new TracePlugin(h));
}

DLLCLBK void ExitModule(HINSTANCE) { Trace("exit"); }
