// What the modules assume about the host's binary interface, 32-bit and
// 64-bit, checked against the host SDK's headers (and the project's XR
// declaration) as the modules see them, through Platform.h.
//
// - Record layouts: static_asserts, with the 32-bit and the 64-bit host's
//   value side by side. They fail the compile wherever this file is built for
//   the host: the Windows module build compiles it beside the modules (MSVC,
//   or clang for the cross-compile check), and scripts/wincheck compiles it
//   with clang for i686-pc-windows-msvc and x86_64-pc-windows-msvc (the MSVC
//   C++ ABI).
// - Virtual slots: one function per operation that makes one virtual call.
//   Its name carries the class, the operation and the expected slot.
//   scripts/wincheck compiles this file for the MSVC ABI and compares each
//   with the vtable layout clang prints (-fdump-vtable-layouts) and with the
//   vtable displacement of the call in the assembly (slot times the pointer
//   size). Elsewhere these functions only compile.
//
// HELM_ABI_WRONG_OFFSET and HELM_ABI_WRONG_SLOT each turn one expectation
// wrong; scripts/wincheck requires that the check then fails.
#include <cstddef>

#include "Platform.h"
#include "WireRecords.h"

namespace {

// ---- Records: sizes and offsets of the 32-bit and of the 64-bit host ----

// The 64-bit host has 8-byte handles and pointers; what follows the first of
// them moves. The wire records do not: they are the 32-bit host's image on
// both (WireRecords.h pins them), and the codec copies field by field. Each
// line below gives the 32-bit and the 64-bit host's value; the build checks
// the one of the host it is for.
#define HELM_SIZE_IS(Type, size) static_assert(sizeof(Type) == (size), "size of " #Type " is " #size)
#define HELM_OFFSET_IS(Type, field, offset) \
    static_assert(offsetof(Type, field) == (offset), "offset of " #Type "::" #field " is " #offset)
#ifdef _WIN64
#define HELM_SIZE(Type, size32, size64) HELM_SIZE_IS(Type, size64)
#define HELM_OFFSET(Type, field, at32, at64) HELM_OFFSET_IS(Type, field, at64)
// A host record and its field at the 64-bit host's place.
#define HELM_RECORD(Host, Wire, size32, size64) HELM_SIZE_IS(Host, size64)
#define HELM_FIELD(Host, Wire, field, at32, at64) HELM_OFFSET_IS(Host, field, at64)
#else
#define HELM_SIZE(Type, size32, size64) HELM_SIZE_IS(Type, size32)
#define HELM_OFFSET(Type, field, at32, at64) HELM_OFFSET_IS(Type, field, at32)
// A host record and its field at the 32-bit host's place, which is where the
// wire record that copies it has it.
#define HELM_RECORD(Host, Wire, size32, size64) \
    HELM_SIZE_IS(Host, size32);                 \
    static_assert(sizeof(Host) == sizeof(Wire), #Host " is as large as " #Wire)
#define HELM_FIELD(Host, Wire, field, at32, at64) \
    HELM_OFFSET_IS(Host, field, at32);            \
    static_assert(offsetof(Host, field) == offsetof(Wire, field), #Host "::" #field " is where " #Wire " has it")
#endif

// clang-format off
//                                                            32-bit  64-bit
HELM_SIZE(void*,                                               4,      8);
HELM_SIZE(OBJHANDLE,                                           4,      8);
HELM_SIZE(FILEHANDLE,                                          4,      8);
HELM_SIZE(DWORD,                                               4,      4);
HELM_SIZE(UINT,                                                4,      4);
HELM_SIZE(VECTOR3,                                             24,     24);

HELM_RECORD(VESSELSTATUS, wire::VesselStatus,                  496,    504);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, rpos,             0,      0);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, rvel,             24,     24);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, vrot,             48,     48);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, arot,             72,     72);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, fuel,             96,     96);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, eng_main,         104,    104);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, eng_hovr,         112,    112);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, rbody,            120,    120);
#ifndef HELM_ABI_WRONG_OFFSET
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, base,             124,    128);
#else
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, base,             128,    124);  // deliberately swapped
#endif
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, port,             128,    136);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, status,           132,    140);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, vdata,            136,    144);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, fdata,            376,    384);
HELM_FIELD(VESSELSTATUS, wire::VesselStatus, flag,             456,    464);

HELM_RECORD(VESSELSTATUS2, wire::VesselStatus2,                176,    208);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, version,        0,      0);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, flag,           4,      4);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, rbody,          8,      8);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, base,           12,     16);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, port,           16,     24);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, status,         20,     28);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, rpos,           24,     32);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, rvel,           48,     56);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, vrot,           72,     80);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, arot,           96,     104);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, surf_lng,       120,    128);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, surf_lat,       128,    136);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, surf_hdg,       136,    144);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, nfuel,          144,    152);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, fuel,           148,    160);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, nthruster,      152,    168);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, thruster,       156,    176);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, ndockinfo,      160,    184);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, dockinfo,       164,    192);
HELM_FIELD(VESSELSTATUS2, wire::VesselStatus2, xpdr,           168,    200);

// The lists' entries: the wire lists keep the 32-bit stride.
using HostFuelEntry = VESSELSTATUS2::FUELSPEC;
using HostThrusterEntry = VESSELSTATUS2::THRUSTSPEC;
using HostDockEntry = VESSELSTATUS2::DOCKINFOSPEC;
HELM_RECORD(HostFuelEntry, wire::LevelEntry,                   16,     16);
HELM_FIELD(HostFuelEntry, wire::LevelEntry, idx,               0,      0);
HELM_FIELD(HostFuelEntry, wire::LevelEntry, level,             8,      8);
HELM_RECORD(HostThrusterEntry, wire::LevelEntry,               16,     16);
HELM_FIELD(HostThrusterEntry, wire::LevelEntry, idx,           0,      0);
HELM_FIELD(HostThrusterEntry, wire::LevelEntry, level,         8,      8);
HELM_RECORD(HostDockEntry, wire::DockEntry,                    12,     16);
HELM_FIELD(HostDockEntry, wire::DockEntry, idx,                0,      0);
HELM_FIELD(HostDockEntry, wire::DockEntry, ridx,               4,      4);
HELM_FIELD(HostDockEntry, wire::DockEntry, rvessel,            8,      8);

// The host's animation list is read as an array of these.
HELM_SIZE(ANIMATION,                                           24,     32);
HELM_OFFSET(ANIMATION, defstate,                               0,      0);
HELM_OFFSET(ANIMATION, state,                                  8,      8);
HELM_OFFSET(ANIMATION, ncomp,                                  16,     16);
HELM_OFFSET(ANIMATION, comp,                                   20,     24);

// The XR records the modules copy whole into the wire's fixed fields.
HELM_SIZE(XRPartRecord,                                        40,     40);
HELM_SIZE(XRSystemsBlock,                                      232,    232);
// clang-format on

#ifdef _MSC_VER
// MSVC ABI: a pointer to a non-virtual member function of VESSEL is the code
// address alone (MemberFunctionAddress in Platform.h reads the first word).
HELM_SIZE(bool (VESSEL::*)(UINT, double) const, 4, 8);
#endif

}  // namespace

// ---- Virtual slots (read by scripts/wincheck from what clang makes of these) ----

using Module = oapi::Module;

#define HELM_SLOT(Class, operation, slot, arguments) \
    extern "C" void helm_slot__##Class##__##operation##__##slot(Class* p) { p->operation arguments; }

// The virtual destructor, called as "delete" does: through its slot.
#define HELM_DESTRUCTOR_SLOT(Class, slot) \
    extern "C" void helm_slot__##Class##__destructor__##slot(Class* p) { p->~Class(); }

static VECTOR3 v;

// oapi::Module, the 2010 interface (this SDK release appends 12 to 14).
HELM_DESTRUCTOR_SLOT(Module, 0)
HELM_SLOT(Module, clbkSimulationStart, 1, (Module::RENDER_NONE))
HELM_SLOT(Module, clbkSimulationEnd, 2, ())
HELM_SLOT(Module, clbkPreStep, 3, (0.0, 0.0, 0.0))
#ifndef HELM_ABI_WRONG_SLOT
HELM_SLOT(Module, clbkPostStep, 4, (0.0, 0.0, 0.0))
#else
HELM_SLOT(Module, clbkPostStep, 5, (0.0, 0.0, 0.0))  // deliberately wrong
#endif
HELM_SLOT(Module, clbkTimeJump, 5, (0.0, 0.0, 0.0))
HELM_SLOT(Module, clbkFocusChanged, 6, (nullptr, nullptr))
HELM_SLOT(Module, clbkTimeAccChanged, 7, (1.0, 1.0))
HELM_SLOT(Module, clbkNewVessel, 8, (nullptr))
HELM_SLOT(Module, clbkDeleteVessel, 9, (nullptr))
HELM_SLOT(Module, clbkVesselJump, 10, (nullptr))
HELM_SLOT(Module, clbkPause, 11, (false))

// VESSEL2: no virtual destructor, slots 0 to 27.
HELM_SLOT(VESSEL2, clbkSetClassCaps, 0, (nullptr))
HELM_SLOT(VESSEL2, clbkSaveState, 1, (nullptr))
HELM_SLOT(VESSEL2, clbkLoadStateEx, 2, (nullptr, nullptr))
HELM_SLOT(VESSEL2, clbkSetStateEx, 3, (nullptr))
HELM_SLOT(VESSEL2, clbkPostCreation, 4, ())
HELM_SLOT(VESSEL2, clbkFocusChanged, 5, (false, nullptr, nullptr))
HELM_SLOT(VESSEL2, clbkPreStep, 6, (0.0, 0.0, 0.0))
HELM_SLOT(VESSEL2, clbkPostStep, 7, (0.0, 0.0, 0.0))
HELM_SLOT(VESSEL2, clbkPlaybackEvent, 8, (0.0, 0.0, nullptr, nullptr))
HELM_SLOT(VESSEL2, clbkVisualCreated, 9, (nullptr, 0))
HELM_SLOT(VESSEL2, clbkVisualDestroyed, 10, (nullptr, 0))
HELM_SLOT(VESSEL2, clbkDrawHUD, 11, (0, nullptr, static_cast<HDC>(nullptr)))
HELM_SLOT(VESSEL2, clbkRCSMode, 12, (0))
HELM_SLOT(VESSEL2, clbkADCtrlMode, 13, (0))
HELM_SLOT(VESSEL2, clbkHUDMode, 14, (0))
HELM_SLOT(VESSEL2, clbkMFDMode, 15, (0, 0))
HELM_SLOT(VESSEL2, clbkNavMode, 16, (0, false))
HELM_SLOT(VESSEL2, clbkDockEvent, 17, (0, nullptr))
HELM_SLOT(VESSEL2, clbkAnimate, 18, (0.0))
HELM_SLOT(VESSEL2, clbkConsumeDirectKey, 19, (nullptr))
HELM_SLOT(VESSEL2, clbkConsumeBufferedKey, 20, (0, true, nullptr))
HELM_SLOT(VESSEL2, clbkLoadGenericCockpit, 21, ())
HELM_SLOT(VESSEL2, clbkLoadPanel, 22, (0))
HELM_SLOT(VESSEL2, clbkPanelMouseEvent, 23, (0, 0, 0, 0))
HELM_SLOT(VESSEL2, clbkPanelRedrawEvent, 24, (0, 0, nullptr))
HELM_SLOT(VESSEL2, clbkLoadVC, 25, (0))
HELM_SLOT(VESSEL2, clbkVCMouseEvent, 26, (0, 0, v))
HELM_SLOT(VESSEL2, clbkVCRedrawEvent, 27, (0, 0, nullptr))

// VESSEL3 appends 28 to 34 (new overloads of VESSEL2's names included).
HELM_SLOT(VESSEL3, clbkPanelMouseEvent, 28, (0, 0, 0, 0, nullptr))
HELM_SLOT(VESSEL3, clbkPanelRedrawEvent, 29, (0, 0, nullptr, nullptr))
HELM_SLOT(VESSEL3, clbkGeneric, 30, (0, 0, nullptr))
HELM_SLOT(VESSEL3, clbkLoadPanel2D, 31, (0, nullptr, 0, 0))
HELM_SLOT(VESSEL3, clbkDrawHUD, 32, (0, nullptr, static_cast<oapi::Sketchpad*>(nullptr)))
HELM_SLOT(VESSEL3, clbkRenderHUD, 33, (0, nullptr, nullptr))
HELM_SLOT(VESSEL3, clbkGetRadiationForce, 34, (v, v, v))

// The XR interface: its own operations from 35, the places the modules use.
HELM_SLOT(XRVesselCtrl, XRInterfaceRevision, 35, ())
HELM_SLOT(XRVesselCtrl, SetPartRecord, 36, (0, nullptr))
HELM_SLOT(XRVesselCtrl, GetPartRecord, 37, (0, nullptr))
HELM_SLOT(XRVesselCtrl, SetStateCode, 38, (0, 0))
HELM_SLOT(XRVesselCtrl, GetStateCode, 39, (0, nullptr))
HELM_SLOT(XRVesselCtrl, SetSystemsBlock, 40, (nullptr))
HELM_SLOT(XRVesselCtrl, GetSystemsBlock, 41, (nullptr))
HELM_SLOT(XRVesselCtrl, SetByteState, 52, (0, false))
HELM_SLOT(XRVesselCtrl, GetByteState, 53, (0))
HELM_SLOT(XRVesselCtrl, AdjustValue, 59, (0.0))
HELM_SLOT(XRVesselCtrl, GetValue, 60, ())
HELM_SLOT(XRVesselCtrl, SetByteA, 61, (false))
HELM_SLOT(XRVesselCtrl, GetByteA, 62, ())
HELM_SLOT(XRVesselCtrl, SetByteB, 63, (false))
HELM_SLOT(XRVesselCtrl, GetByteB, 64, ())
