// A sample vessel class that offers the XR vessel-control interface. It keeps
// its own XR state, moves part of it on every step (so that a mirror copy
// visibly follows or lags), and saves and loads it with its scenario lines.
#pragma once

#include "Orbitersdk.h"
#include "XRVesselCtrl.h"

class XRSample final : public XRVesselCtrl {
public:
    static constexpr int kPartCount = 8;
    static constexpr int kStateCodeCount = 15;
    static constexpr int kByteStateCount = 3;
    // The interface revision this class implements.
    static constexpr int kRevision = 2;
    // How fast the value drifts on its own, per simulated second.
    static constexpr double kValueDriftPerSecond = 0.001;

    XRSample(OBJHANDLE hVessel, int flightmodel);

    // ---- Host callbacks ----
    void clbkSetClassCaps(FILEHANDLE cfg) override;
    void clbkSaveState(FILEHANDLE scn) override;
    void clbkLoadStateEx(FILEHANDLE scn, void* status) override;
    void clbkPostStep(double simt, double simdt, double mjd) override;
    int clbkConsumeBufferedKey(DWORD key, bool down, char* kstate) override;

    // ---- XR vessel-control interface ----
    int XRInterfaceRevision() override;
    bool SetPartRecord(int index, const XRPartRecord* record) override;
    bool GetPartRecord(int index, XRPartRecord* record) override;
    bool SetStateCode(int index, int code) override;
    int GetStateCode(int index, double* detail) override;
    bool SetSystemsBlock(const XRSystemsBlock* block) override;
    bool GetSystemsBlock(XRSystemsBlock* block) override;
    int XRUnused42() override { return 0; }
    int XRUnused43() override { return 0; }
    int XRUnused44() override { return 0; }
    int XRUnused45() override { return 0; }
    int XRUnused46() override { return 0; }
    int XRUnused47() override { return 0; }
    int XRUnused48() override { return 0; }
    int XRUnused49() override { return 0; }
    int XRUnused50() override { return 0; }
    int XRUnused51() override { return 0; }
    bool SetByteState(int index, bool on) override;
    bool GetByteState(int index) override;
    int XRUnused54() override { return 0; }
    int XRUnused55() override { return 0; }
    int XRUnused56() override { return 0; }
    int XRUnused57() override { return 0; }
    int XRUnused58() override { return 0; }
    bool AdjustValue(double delta) override;
    double GetValue() override;
    bool SetByteA(bool on) override;
    bool GetByteA() override;
    bool SetByteB(bool on) override;
    bool GetByteB() override;

    // ---- Part record states ----
    enum PartState : int32_t { kPartClosed = 0, kPartOpen = 1, kPartMoving = 2, kPartStopped = 3 };

private:
    friend struct XRSampleScenario;

    void resetState();
    void movePart(XRPartRecord& part, double simdt);

    XRPartRecord parts_[kPartCount];
    int32_t stateCodes_[kStateCodeCount];
    double stateCodeChanged_[kStateCodeCount];  // sim time of the last change
    XRSystemsBlock systems_;
    bool byteStates_[kByteStateCount];
    double value_;
    bool byteA_;
    bool byteB_;
};

// Reading and writing the XR state lines of a scenario, kept apart from the
// vessel's behaviour.
struct XRSampleScenario {
    static void Save(const XRSample& vessel, FILEHANDLE scn);
    // True when the line was one of the XR state lines (and applied).
    static bool ParseLine(XRSample& vessel, const char* line);
};
