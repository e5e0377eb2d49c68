// The host's built-in vessel class: equipment from a class description, a
// few class-specific scenario lines, a self-driven animation and a key
// handler, enough to exercise everything a plug-in looks at.
#pragma once

#include <string>

#include "SimHost.h"

namespace simhost {

class GenericVessel final : public VESSEL4 {
public:
    GenericVessel(OBJHANDLE hVessel, const GenericClassSpec& traits);

    // Creates the propellant resources (full), thrusters, docks, radios and
    // animations of the description.
    void clbkSetClassCaps(FILEHANDLE cfg) override;
    void clbkSaveState(FILEHANDLE scn) override;
    void clbkLoadStateEx(FILEHANDLE scn, void* status) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;
    int clbkConsumeBufferedKey(DWORD key, bool down, char* kstate) override;

    bool lights() const { return lights_; }
    const std::string& cargo() const { return cargo_; }
    long keyCount() const { return keyCount_; }

private:
    GenericClassSpec traits_;
    bool lights_ = false;
    std::string cargo_;
    long keyCount_ = 0;
};

void DestroyGenericVessel(VESSEL* vessel);

}  // namespace simhost
