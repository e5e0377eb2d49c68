#include "GenericVessel.h"

#include <algorithm>
#include <cmath>

#include "Text.h"

namespace simhost {

GenericVessel::GenericVessel(OBJHANDLE hVessel, const GenericClassSpec& traits) : VESSEL4(hVessel), traits_(traits) {
    // Stands in for vessels of every interface generation, including one
    // newer than any plug-in knows.
    version = static_cast<short>(std::clamp(traits.interfaceVersion, 0, 4));
}

void GenericVessel::clbkSetClassCaps(FILEHANDLE) {
    SetEmptyMass(traits_.emptyMass);
    SetSize(traits_.size);
    for (double maxMass : traits_.propellantMasses) CreatePropellantResource(maxMass);
    PROPELLANT_HANDLE tank = GetPropellantHandleByIndex(0);
    for (int i = 0; i < traits_.thrusters; ++i)
        CreateThruster(_V(0, 0, -static_cast<double>(i)), _V(0, 0, 1), 1000.0, tank, 3000.0);
    for (int i = 0; i < traits_.dockPorts; ++i) CreateDock(_V(0, 0, static_cast<double>(i)), _V(0, 0, 1), _V(0, 1, 0));
    if (traits_.navRadios > 0) InitNavRadios(static_cast<DWORD>(traits_.navRadios));
    for (int i = 0; i < traits_.animations; ++i) CreateAnimation(0.0);
}

void GenericVessel::clbkSaveState(FILEHANDLE scn) {
    SaveDefaultState(scn);
    std::string lines[] = {std::string("  LIGHTS ") + (lights_ ? "1" : "0"), "  CARGO " + cargo_,
                           "  KEYCOUNT " + std::to_string(keyCount_)};
    for (std::string& line : lines) oapiWriteLine(scn, line.data());
}

void GenericVessel::clbkLoadStateEx(FILEHANDLE scn, void* status) {
    bool placed = false;
    char* line = nullptr;
    while (oapiReadScenario_nextline(scn, line)) {
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        const std::string& tag = words[0];
        if (EqualNoCase(tag, "LIGHTS")) {
            lights_ = words.size() >= 2 && words[1] == "1";
        } else if (EqualNoCase(tag, "CARGO")) {
            std::string text = Trim(line);
            cargo_ = Trim(text.substr(std::min(text.size(), tag.size())));
        } else if (EqualNoCase(tag, "KEYCOUNT")) {
            unsigned long count = 0;
            if (words.size() >= 2 && ReadUnsigned(words[1], count)) keyCount_ = static_cast<long>(count);
        } else {
            if (EqualNoCase(tag, "RPOS") || EqualNoCase(tag, "RVEL") || EqualNoCase(tag, "POS") ||
                EqualNoCase(tag, "BASE") ||
                (EqualNoCase(tag, "STATUS") && words.size() >= 2 && EqualNoCase(words[1], "Landed")))
                placed = true;
            ParseScenarioLineEx(line, status);
        }
    }
    // A vessel loaded from text sits exactly where the text puts it.
    if (placed) DefSetStateEx(status);
}

void GenericVessel::clbkPostStep(double, double simdt, double) {
    ANIMATION* list = nullptr;
    if (traits_.animationRate <= 0.0 || GetAnimPtr(&list) == 0) return;
    double next = list[0].state + traits_.animationRate * simdt;
    next -= std::floor(next);
    // Through the replaceable entry, as a vessel's own animation code would.
    SetAnimation(0, next);
}

int GenericVessel::clbkConsumeBufferedKey(DWORD key, bool down, char*) {
    ++keyCount_;
    if (key != OAPI_KEY_L) return 0;
    if (down) lights_ = !lights_;
    return 1;
}

void DestroyGenericVessel(VESSEL* vessel) { delete static_cast<GenericVessel*>(vessel); }

}  // namespace simhost
