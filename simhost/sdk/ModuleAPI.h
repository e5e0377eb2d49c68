// The plug-in module base class: the host calls its callbacks on its
// simulation thread. Slot order is the host's.
#pragma once

#include "OrbiterAPI.h"

namespace oapi {

class OAPIFUNC Module {
public:
    enum RenderMode { RENDER_NONE = 0, RENDER_FULLSCREEN = 1, RENDER_WINDOW = 2 };

    explicit Module(HINSTANCE hDLL);
    virtual ~Module();                                                      // slot 0
    virtual void clbkSimulationStart(RenderMode mode);                      // slot 1
    virtual void clbkSimulationEnd();                                       // slot 2
    virtual void clbkPreStep(double simt, double simdt, double mjd);        // slot 3
    virtual void clbkPostStep(double simt, double simdt, double mjd);       // slot 4
    virtual void clbkTimeJump(double simt, double simdt, double mjd);       // slot 5
    virtual void clbkFocusChanged(OBJHANDLE newFocus, OBJHANDLE oldFocus);  // slot 6
    virtual void clbkTimeAccChanged(double newWarp, double oldWarp);        // slot 7
    virtual void clbkNewVessel(OBJHANDLE vessel);                           // slot 8
    virtual void clbkDeleteVessel(OBJHANDLE vessel);                        // slot 9
    virtual void clbkVesselJump(OBJHANDLE vessel);                          // slot 10
    virtual void clbkPause(bool pause);                                     // slot 11

    HINSTANCE GetModule() const { return hModule; }

protected:
    HINSTANCE hModule;
};

}  // namespace oapi

// The date string the host SDK's glue turns into GetModuleVersion's result.
// The stand-in's own formula: year * 10000 + month * 100 + day (monotonic).
OAPIFUNC int Date2Int(const char* date);
