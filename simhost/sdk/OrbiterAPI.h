// The host's plug-in API as the modules use it: types, records, constants
// and the oapi... functions. Names, signatures and field orders are the real
// host's; records are laid out natively for this platform (the wire format
// is a separate matter, kept in the modules' own wire records).
#pragma once

#include <cstdint>

#include "win32_standin.h"

#ifdef _WIN32
// As from the real host: the host program exports its API, plug-ins import it
// (through the program's import library) and export their entry points.
#ifdef SIMHOST_BUILDING_HOST
#define OAPIFUNC __declspec(dllexport)
#else
#define OAPIFUNC __declspec(dllimport)
#endif
#define DLLCLBK extern "C" __declspec(dllexport)
#define DLLEXPORT __declspec(dllexport)
#else
#define OAPIFUNC __attribute__((visibility("default")))
#define DLLCLBK extern "C" __attribute__((visibility("default")))
#define DLLEXPORT __attribute__((visibility("default")))
#endif

typedef void* OBJHANDLE;
typedef void* FILEHANDLE;
typedef void* PROPELLANT_HANDLE;
typedef void* THRUSTER_HANDLE;
typedef void* DOCKHANDLE;
typedef void* VISHANDLE;
typedef void* SURFHANDLE;
typedef void* PANELHANDLE;
#ifndef _WIN32
typedef void* HDC;  // windows.h has its own
#endif

struct VECTOR3 {
    double x;
    double y;
    double z;
};
inline VECTOR3 _V(double x, double y, double z) { return VECTOR3{x, y, z}; }

struct VESSELSTATUS {
    VECTOR3 rpos;
    VECTOR3 rvel;
    VECTOR3 vrot;
    VECTOR3 arot;
    double fuel;
    double eng_main;
    double eng_hovr;
    OBJHANDLE rbody;
    OBJHANDLE base;
    int port;
    int status;         // 0 free flight, 1 landed
    VECTOR3 vdata[10];  // when landed: vdata[0] = longitude, latitude, heading
    double fdata[10];
    DWORD flag[10];
};

struct VESSELSTATUS2 {
    struct FUELSPEC {
        DWORD idx;
        double level;
    };
    struct THRUSTSPEC {
        DWORD idx;
        double level;
    };
    struct DOCKINFOSPEC {
        DWORD idx;
        DWORD ridx;
        OBJHANDLE rvessel;
    };
    DWORD version;
    DWORD flag;
    OBJHANDLE rbody;
    OBJHANDLE base;
    int port;
    int status;
    VECTOR3 rpos;
    VECTOR3 rvel;
    VECTOR3 vrot;
    VECTOR3 arot;
    double surf_lng;
    double surf_lat;
    double surf_hdg;
    DWORD nfuel;
    FUELSPEC* fuel;
    DWORD nthruster;
    THRUSTSPEC* thruster;
    DWORD ndockinfo;
    DOCKINFOSPEC* dockinfo;
    DWORD xpdr;
};

// VESSELSTATUS2 flags: on a get, the list bits ask for the lists (the caller
// sets the pointers; the host fills as many entries as the vessel has, not
// knowing the room); on a set, they say which lists to apply.
#define VS_FUELRESET 0x00000001
#define VS_FUELLIST 0x00000002
#define VS_THRUSTRESET 0x00000004
#define VS_THRUSTLIST 0x00000008
#define VS_DOCKINFOLIST 0x00000010

enum FileAccessMode { FILE_IN = 0, FILE_OUT = 1, FILE_APP = 2 };
enum PathRoot { ROOT = 0, CONFIG = 1, SCENARIOS = 2, TEXTURES = 3, TEXTURES2 = 4, MESHES = 5, MODULES = 6 };

// oapiSetSimMJD propagation modes.
#define PROP_ORBITAL_ELEMENTS 0x00
#define PROP_ORBITAL_FIXEDSTATE 0x01
#define PROP_ORBITAL_FIXEDSURF 0x02
#define PROP_SORBITAL_ELEMENTS 0x00
#define PROP_SORBITAL_FIXEDSTATE 0x10
#define PROP_SORBITAL_FIXEDSURF 0x20
#define PROP_SORBITAL_DESTROY 0x30

#define NAVMODE_KILLROT 1
#define NAVMODE_HLEVEL 2
#define NAVMODE_PROGRADE 3
#define NAVMODE_RETROGRADE 4
#define NAVMODE_NORMAL 5
#define NAVMODE_ANTINORMAL 6
#define NAVMODE_HOLDALT 7

#define RCS_NONE 0
#define RCS_ROT 1
#define RCS_LIN 2

enum AIRCTRL_TYPE {
    AIRCTRL_ELEVATOR = 0,
    AIRCTRL_RUDDER = 1,
    AIRCTRL_AILERON = 2,
    AIRCTRL_FLAP = 3,
    AIRCTRL_ELEVATORTRIM = 4,
    AIRCTRL_RUDDERTRIM = 5
};

// Keyboard scan codes the vessels see (a few; the codes are the keyboard's).
#define OAPI_KEY_ESCAPE 0x01
#define OAPI_KEY_1 0x02
#define OAPI_KEY_2 0x03
#define OAPI_KEY_3 0x04
#define OAPI_KEY_A 0x1E
#define OAPI_KEY_B 0x30
#define OAPI_KEY_D 0x20
#define OAPI_KEY_G 0x22
#define OAPI_KEY_K 0x25
#define OAPI_KEY_L 0x26
#define OAPI_KEY_N 0x31
#define OAPI_KEY_O 0x18
#define OAPI_KEY_P 0x19
#define OAPI_KEY_LSHIFT 0x2A
#define OAPI_KEY_SPACE 0x39

// A stored animation; `state` sits at offset 8 as in the host's record.
struct ANIMATIONCOMP;
struct ANIMATION {
    double defstate;
    double state;
    UINT ncomp;
    ANIMATIONCOMP** comp;
};

namespace oapi {
class Module;
}
class VESSEL;

// ---- Module registration ----
OAPIFUNC void oapiRegisterModule(oapi::Module* module);

// ---- Files ----
OAPIFUNC FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root = ROOT);
OAPIFUNC void oapiCloseFile(FILEHANDLE file, FileAccessMode mode);
// Configuration items "tag = value": the whole file is searched whatever the
// read position; a missing file or key reads as missing (false).
OAPIFUNC bool oapiReadItem_string(FILEHANDLE file, char* item, char* value);
OAPIFUNC bool oapiReadItem_float(FILEHANDLE file, char* item, double& value);
OAPIFUNC bool oapiReadItem_int(FILEHANDLE file, char* item, int& value);
OAPIFUNC bool oapiReadItem_bool(FILEHANDLE file, char* item, bool& value);
OAPIFUNC void oapiWriteItem_string(FILEHANDLE file, char* item, char* value);
OAPIFUNC void oapiWriteItem_float(FILEHANDLE file, char* item, double value);
OAPIFUNC void oapiWriteItem_int(FILEHANDLE file, char* item, int value);
// Scenario lines: one per call, trimmed, its ';' comment removed; false at
// the end of the file or at an "END" line. The buffer is reused by the next call.
OAPIFUNC bool oapiReadScenario_nextline(FILEHANDLE file, char*& line);
OAPIFUNC void oapiWriteScenario_string(FILEHANDLE file, char* item, char* value);
OAPIFUNC void oapiWriteScenario_int(FILEHANDLE file, char* item, int value);
OAPIFUNC void oapiWriteScenario_float(FILEHANDLE file, char* item, double value);
OAPIFUNC void oapiWriteScenario_vec(FILEHANDLE file, char* item, const VECTOR3& value);
OAPIFUNC void oapiWriteLine(FILEHANDLE file, char* line);
OAPIFUNC bool oapiSaveScenario(const char* fname, const char* desc);

// ---- Time ----
OAPIFUNC double oapiGetSimTime();
OAPIFUNC double oapiGetSimStep();
OAPIFUNC double oapiGetSysTime();
OAPIFUNC double oapiGetSimMJD();
OAPIFUNC bool oapiSetSimMJD(double mjd, int pmode = 0);
OAPIFUNC double oapiGetTimeAcceleration();
OAPIFUNC void oapiSetTimeAcceleration(double warp);  // clamped to 1 .. 100000
OAPIFUNC bool oapiGetPause();
OAPIFUNC void oapiSetPause(bool pause);

// ---- Objects ----
OAPIFUNC DWORD oapiGetVesselCount();
OAPIFUNC OBJHANDLE oapiGetVesselByIndex(int index);
OAPIFUNC OBJHANDLE oapiGetVesselByName(char* name);  // 0 when unknown; names ignore case
OAPIFUNC OBJHANDLE oapiGetObjectByName(char* name);  // any object: body, base or vessel
OAPIFUNC void oapiGetObjectName(OBJHANDLE object, char* name, int n);
OAPIFUNC VESSEL* oapiGetVesselInterface(OBJHANDLE vessel);
OAPIFUNC VESSEL* oapiGetFocusInterface();
OAPIFUNC OBJHANDLE oapiGetFocusObject();
OAPIFUNC OBJHANDLE oapiSetFocusObject(OBJHANDLE vessel);  // returns the previous focus
OAPIFUNC OBJHANDLE oapiCreateVessel(const char* name, const char* classname, const VESSELSTATUS& status);
OAPIFUNC OBJHANDLE oapiCreateVesselEx(const char* name, const char* classname, const void* status);
OAPIFUNC bool oapiDeleteVessel(OBJHANDLE vessel, OBJHANDLE alternativeCameraTarget = 0);
OAPIFUNC double oapiGetMass(OBJHANDLE object);
OAPIFUNC double oapiGetSize(OBJHANDLE object);

// ---- Other ----
OAPIFUNC char* oapiDebugString();      // 256 bytes
OAPIFUNC int oapiGetOrbiterVersion();  // YYMMDD
OAPIFUNC void oapiCameraSetCockpitDir(double polar, double azimuth, bool transition = false);
