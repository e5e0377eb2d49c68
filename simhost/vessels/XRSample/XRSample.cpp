// The XR sample vessel: class capabilities, its XR state and how that state
// moves on its own.
#include "XRSample.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kDefaultEmptyMass = 12000.0;
constexpr double kDefaultSize = 18.0;
constexpr double kPropellantMasses[] = {9000.0, 1200.0, 300.0};  // main, RCS, APU
constexpr int kThrusterCount = 6;
constexpr int kAnimationCount = 4;
constexpr int kNavRadioCount = 2;
// The state code that powers the vessel's systems.
constexpr int kMasterPowerCode = 12;

bool validIndex(int index, int count) { return index >= 0 && index < count; }

}  // namespace

XRSample::XRSample(OBJHANDLE hVessel, int flightmodel) : XRVesselCtrl(hVessel, flightmodel) { resetState(); }

void XRSample::resetState() {
    std::memset(parts_, 0, sizeof parts_);
    for (int i = 0; i < kPartCount; ++i) {
        // Odd parts start opening, so a fresh vessel already shows movement.
        parts_[i].target = (i % 2 == 1) ? 1.0 : 0.0;
        parts_[i].rate = 0.1 + 0.05 * i;
        parts_[i].state = kPartClosed;
    }
    std::memset(stateCodes_, 0, sizeof stateCodes_);
    std::memset(stateCodeChanged_, 0, sizeof stateCodeChanged_);
    // Powered subsystems: the ones whose codes let records 2 to 7 through.
    stateCodes_[1] = 1;
    stateCodes_[2] = 1;
    stateCodes_[5] = 1;
    stateCodes_[kMasterPowerCode] = 1;
    std::memset(&systems_, 0, sizeof systems_);
    for (int i = 0; i < 29; ++i) systems_.values[i] = 0.5 * i;
    std::memset(byteStates_, 0, sizeof byteStates_);
    value_ = 100.0;
    byteA_ = false;
    byteB_ = true;
}

// ---- Host callbacks ----

void XRSample::clbkSetClassCaps(FILEHANDLE cfg) {
    double emptyMass = kDefaultEmptyMass;
    double size = kDefaultSize;
    if (cfg) {
        char emptyMassKey[] = "EmptyMass";
        char sizeKey[] = "Size";
        oapiReadItem_float(cfg, emptyMassKey, emptyMass);
        oapiReadItem_float(cfg, sizeKey, size);
    }
    SetEmptyMass(emptyMass);
    SetSize(size);

    PROPELLANT_HANDLE tanks[3];
    for (int i = 0; i < 3; ++i) tanks[i] = CreatePropellantResource(kPropellantMasses[i]);
    // Main and retro on the main tank, four RCS on the RCS tank.
    CreateThruster(_V(0, 0, -8), _V(0, 0, 1), 200000.0, tanks[0], 30000.0);
    CreateThruster(_V(0, 0, 8), _V(0, 0, -1), 20000.0, tanks[0], 30000.0);
    for (int i = 2; i < kThrusterCount; ++i) {
        const double side = (i % 2 == 0) ? 1.0 : -1.0;
        CreateThruster(_V(side * 2, 0, i < 4 ? 6 : -6), _V(-side, 0, 0), 2000.0, tanks[1], 9000.0);
    }
    CreateDock(_V(0, 1.5, 6), _V(0, 1, 0), _V(0, 0, 1));
    InitNavRadios(kNavRadioCount);
    for (int i = 0; i < kAnimationCount; ++i) CreateAnimation(0.0);
}

void XRSample::clbkSaveState(FILEHANDLE scn) {
    SaveDefaultState(scn);
    XRSampleScenario::Save(*this, scn);
}

void XRSample::clbkLoadStateEx(FILEHANDLE scn, void* status) {
    char* line = nullptr;
    while (oapiReadScenario_nextline(scn, line)) {
        if (!XRSampleScenario::ParseLine(*this, line)) ParseScenarioLineEx(line, status);
    }
}

void XRSample::movePart(XRPartRecord& part, double simdt) {
    if (!(part.rate > 0.0) || !std::isfinite(part.rate) || !std::isfinite(part.target)) return;
    const double remaining = part.target - part.position;
    const double stepLength = part.rate * simdt;
    if (std::fabs(remaining) <= stepLength) {
        part.position = part.target;
        if (part.target >= 1.0)
            part.state = kPartOpen;
        else if (part.target <= 0.0)
            part.state = kPartClosed;
        else
            part.state = kPartStopped;
    } else {
        part.position += remaining > 0 ? stepLength : -stepLength;
        part.state = kPartMoving;
    }
}

void XRSample::clbkPostStep(double, double simdt, double) {
    if (!(simdt > 0.0)) return;
    // Unpowered parts stay where they are.
    if (stateCodes_[kMasterPowerCode] == 1) {
        for (XRPartRecord& part : parts_) movePart(part, simdt);
    }
    value_ += kValueDriftPerSecond * simdt;
}

int XRSample::clbkConsumeBufferedKey(DWORD key, bool down, char*) {
    // K opens or closes part 0 (the one a user would try first).
    if (!down || key != OAPI_KEY_K) return 0;
    parts_[0].target = parts_[0].target >= 0.5 ? 0.0 : 1.0;
    return 1;
}

// ---- XR vessel-control interface ----

int XRSample::XRInterfaceRevision() { return kRevision; }

bool XRSample::SetPartRecord(int index, const XRPartRecord* record) {
    if (!validIndex(index, kPartCount) || !record) return false;
    parts_[index] = *record;
    return true;
}

bool XRSample::GetPartRecord(int index, XRPartRecord* record) {
    if (!validIndex(index, kPartCount) || !record) return false;
    *record = parts_[index];
    return true;
}

bool XRSample::SetStateCode(int index, int code) {
    if (!validIndex(index, kStateCodeCount)) return false;
    if (stateCodes_[index] != code) stateCodeChanged_[index] = oapiGetSimTime();
    stateCodes_[index] = code;
    return true;
}

int XRSample::GetStateCode(int index, double* detail) {
    if (!validIndex(index, kStateCodeCount)) return 0;
    if (detail) *detail = stateCodeChanged_[index];
    return stateCodes_[index];
}

bool XRSample::SetSystemsBlock(const XRSystemsBlock* block) {
    if (!block) return false;
    systems_ = *block;
    return true;
}

bool XRSample::GetSystemsBlock(XRSystemsBlock* block) {
    if (!block) return false;
    *block = systems_;
    return true;
}

bool XRSample::SetByteState(int index, bool on) {
    if (!validIndex(index, kByteStateCount)) return false;
    byteStates_[index] = on;
    return true;
}

bool XRSample::GetByteState(int index) { return validIndex(index, kByteStateCount) && byteStates_[index]; }

bool XRSample::AdjustValue(double delta) {
    if (!std::isfinite(delta)) return false;
    value_ += delta;
    return true;
}

double XRSample::GetValue() { return value_; }

bool XRSample::SetByteA(bool on) {
    byteA_ = on;
    return true;
}

bool XRSample::GetByteA() { return byteA_; }

bool XRSample::SetByteB(bool on) {
    byteB_ = on;
    return true;
}

bool XRSample::GetByteB() { return byteB_; }
