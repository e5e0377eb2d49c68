// The XR vessel-control interface: a VESSEL3 whose own virtual operations
// follow the host's callbacks. The modules rely only on the places of the
// operations in the table, their arguments and result widths, on the exported
// one-byte flag "XRVesselCtrlFlag" and on the vessel's module being loaded
// under the vessel's class name. What the records and codes mean is the
// interface's own; places 35 and 42 to 51, 54 to 58 are not used by the
// modules.
#pragma once

#include <cstdint>

#include "VesselAPI.h"

// One 40-byte record per index (0 to 7): a moving part of the vessel.
struct XRPartRecord {
    double position;  // 0 closed .. 1 open
    double target;
    double rate;
    int32_t state;
    int32_t flags;
    double reserved;
};
static_assert(sizeof(XRPartRecord) == 40, "XR part record is 40 bytes");

// The 232-byte block read and written whole.
struct XRSystemsBlock {
    double values[29];
};
static_assert(sizeof(XRSystemsBlock) == 232, "XR systems block is 232 bytes");

class XRVesselCtrl : public VESSEL3 {
public:
    XRVesselCtrl(OBJHANDLE hVessel, int fmodel = 1) : VESSEL3(hVessel, fmodel) {}

    virtual int XRInterfaceRevision() = 0;                                  // 35
    virtual bool SetPartRecord(int index, const XRPartRecord* record) = 0;  // 36
    virtual bool GetPartRecord(int index, XRPartRecord* record) = 0;        // 37
    virtual bool SetStateCode(int index, int code) = 0;                     // 38
    virtual int GetStateCode(int index, double* detail) = 0;                // 39
    virtual bool SetSystemsBlock(const XRSystemsBlock* block) = 0;          // 40
    virtual bool GetSystemsBlock(XRSystemsBlock* block) = 0;                // 41
    virtual int XRUnused42() = 0;                                           // 42
    virtual int XRUnused43() = 0;                                           // 43
    virtual int XRUnused44() = 0;                                           // 44
    virtual int XRUnused45() = 0;                                           // 45
    virtual int XRUnused46() = 0;                                           // 46
    virtual int XRUnused47() = 0;                                           // 47
    virtual int XRUnused48() = 0;                                           // 48
    virtual int XRUnused49() = 0;                                           // 49
    virtual int XRUnused50() = 0;                                           // 50
    virtual int XRUnused51() = 0;                                           // 51
    virtual bool SetByteState(int index, bool on) = 0;                      // 52
    virtual bool GetByteState(int index) = 0;                               // 53
    virtual int XRUnused54() = 0;                                           // 54
    virtual int XRUnused55() = 0;                                           // 55
    virtual int XRUnused56() = 0;                                           // 56
    virtual int XRUnused57() = 0;                                           // 57
    virtual int XRUnused58() = 0;                                           // 58
    virtual bool AdjustValue(double delta) = 0;                             // 59
    virtual double GetValue() = 0;                                          // 60
    virtual bool SetByteA(bool on) = 0;                                     // 61
    virtual bool GetByteA() = 0;                                            // 62
    virtual bool SetByteB(bool on) = 0;                                     // 63
    virtual bool GetByteB() = 0;                                            // 64
};
