// The vessel interface: VESSEL (no virtual functions: calls into the host)
// and the callback interfaces VESSEL2, VESSEL3, VESSEL4 whose virtual slots
// are frozen in the host's order.
#pragma once

#include "OrbiterAPI.h"

namespace simhost {
class HostVessel;
}
namespace oapi {
class Sketchpad;
}
struct HUDPAINTSPEC;

class OAPIFUNC VESSEL {
public:
    VESSEL(OBJHANDLE hVessel, int fmodel = 1);
    ~VESSEL();

    // 0 VESSEL, 1 VESSEL2, 2 VESSEL3, 3 VESSEL4 (higher values are future
    // interfaces a module does not know).
    int Version() const { return version; }
    OBJHANDLE GetHandle() const;
    char* GetName() const;
    char* GetClassNameA() const;
#ifndef _WIN32
    // windows.h makes GetClassName a macro for GetClassNameA.
    char* GetClassName() const { return GetClassNameA(); }
#endif

    // ---- State ----
    void GetStatus(VESSELSTATUS& status) const;
    void GetStatusEx(void* status) const;  // VESSELSTATUS2, version 2
    void DefSetState(const VESSELSTATUS* status) const;
    void DefSetStateEx(const void* status) const;
    void GetRelativePos(OBJHANDLE hRef, VECTOR3& pos) const;
    void GetRelativeVel(OBJHANDLE hRef, VECTOR3& vel) const;
    OBJHANDLE GetGravityRef() const;
    int GetFlightStatus() const;  // bit 0: landed
    double GetMass() const;
    void SetEmptyMass(double mass) const;
    void SetSize(double size) const;

    // ---- Scenario helpers for a vessel's own load/save callbacks ----
    // Parses one default state line (STATUS, RPOS, RVEL, AROT, VROT, PRPLEVEL,
    // ...) into a VESSELSTATUS2; false for a line it does not know.
    bool ParseScenarioLineEx(char* line, void* status) const;
    // Writes the default state lines a scenario needs to recreate the vessel.
    void SaveDefaultState(FILEHANDLE scn) const;

    // ---- Modes ----
    int GetAttitudeMode() const;
    bool SetAttitudeMode(int mode) const;
    bool GetNavmodeState(int mode);
    bool ActivateNavmode(int mode);
    bool DeactivateNavmode(int mode);
    DWORD GetADCtrlMode() const;
    void SetADCtrlMode(DWORD mode) const;

    // ---- Navigation radios ----
    void InitNavRadios(DWORD n) const;
    DWORD GetNavCount() const;
    DWORD GetNavChannel(DWORD n) const;
    bool SetNavChannel(DWORD n, DWORD ch) const;  // channels 0 to 639

    // ---- Control surfaces ----
    double GetControlSurfaceLevel(AIRCTRL_TYPE type) const;
    void SetControlSurfaceLevel(AIRCTRL_TYPE type, double level, bool direct = true) const;

    // ---- Animations ----
    UINT CreateAnimation(double initialState) const;
    UINT GetAnimPtr(ANIMATION** list) const;
    bool SetAnimation(UINT anim, double state) const;

    // ---- Propellant and thrusters ----
    PROPELLANT_HANDLE CreatePropellantResource(double maxmass, double mass = -1.0, double efficiency = 1.0) const;
    DWORD GetPropellantCount() const;
    PROPELLANT_HANDLE GetPropellantHandleByIndex(DWORD i) const;
    double GetPropellantMaxMass(PROPELLANT_HANDLE ph) const;
    double GetPropellantMass(PROPELLANT_HANDLE ph) const;
    void SetPropellantMass(PROPELLANT_HANDLE ph, double mass) const;
    THRUSTER_HANDLE CreateThruster(const VECTOR3& pos, const VECTOR3& dir, double maxth0, PROPELLANT_HANDLE hp = 0,
                                   double isp0 = 0.0) const;
    DWORD GetThrusterCount() const;
    THRUSTER_HANDLE GetThrusterHandleByIndex(DWORD i) const;
    double GetThrusterLevel(THRUSTER_HANDLE th) const;
    void SetThrusterLevel(THRUSTER_HANDLE th, double level) const;

    // ---- Docking ----
    DOCKHANDLE CreateDock(const VECTOR3& pos, const VECTOR3& dir, const VECTOR3& rot) const;
    UINT DockCount() const;
    DOCKHANDLE GetDockHandle(UINT n) const;
    OBJHANDLE GetDockStatus(DOCKHANDLE hDock) const;
    int Dock(OBJHANDLE target, UINT n, UINT tgtn, UINT mode) const;
    bool Undock(UINT n, const OBJHANDLE exclude = 0) const;

    // ---- Keys ----
    // Feeds a key event to the vessel's buffered-key callback.
    int SendBufferedKey(DWORD key, bool down = true, char* kstate = 0);

protected:
    simhost::HostVessel* vessel;
    short flightmodel;
    short version;

    friend class simhost::HostVessel;
};

class OAPIFUNC VESSEL2 : public VESSEL {
public:
    VESSEL2(OBJHANDLE hVessel, int fmodel = 1);
    virtual void clbkSetClassCaps(FILEHANDLE cfg);                                                           // 0
    virtual void clbkSaveState(FILEHANDLE scn);                                                              // 1
    virtual void clbkLoadStateEx(FILEHANDLE scn, void* status);                                              // 2
    virtual void clbkSetStateEx(const void* status);                                                         // 3
    virtual void clbkPostCreation();                                                                         // 4
    virtual void clbkFocusChanged(bool getfocus, OBJHANDLE hNewVessel, OBJHANDLE hOldVessel);                // 5
    virtual void clbkPreStep(double simt, double simdt, double mjd);                                         // 6
    virtual void clbkPostStep(double simt, double simdt, double mjd);                                        // 7
    virtual bool clbkPlaybackEvent(double simt, double event_t, const char* event_type, const char* event);  // 8
    virtual void clbkVisualCreated(VISHANDLE vis, int refcount);                                             // 9
    virtual void clbkVisualDestroyed(VISHANDLE vis, int refcount);                                           // 10
    virtual void clbkDrawHUD(int mode, const HUDPAINTSPEC* hps, HDC hDC);                                    // 11
    virtual void clbkRCSMode(int mode);                                                                      // 12
    virtual void clbkADCtrlMode(DWORD mode);                                                                 // 13
    virtual void clbkHUDMode(int mode);                                                                      // 14
    virtual void clbkMFDMode(int mfd, int mode);                                                             // 15
    virtual void clbkNavMode(int mode, bool active);                                                         // 16
    virtual void clbkDockEvent(int dock, OBJHANDLE mate);                                                    // 17
    virtual void clbkAnimate(double simt);                                                                   // 18
    virtual int clbkConsumeDirectKey(char* keystate);                                                        // 19
    virtual int clbkConsumeBufferedKey(DWORD key, bool down, char* kstate);                                  // 20
    virtual bool clbkLoadGenericCockpit();                                                                   // 21
    virtual bool clbkLoadPanel(int id);                                                                      // 22
    virtual bool clbkPanelMouseEvent(int id, int event, int mx, int my);                                     // 23
    virtual bool clbkPanelRedrawEvent(int id, int event, SURFHANDLE surf);                                   // 24
    virtual bool clbkLoadVC(int id);                                                                         // 25
    virtual bool clbkVCMouseEvent(int id, int event, VECTOR3& p);                                            // 26
    virtual bool clbkVCRedrawEvent(int id, int event, SURFHANDLE surf);                                      // 27
};

class OAPIFUNC VESSEL3 : public VESSEL2 {
public:
    VESSEL3(OBJHANDLE hVessel, int fmodel = 1);
    virtual bool clbkPanelMouseEvent(int id, int event, int mx, int my, void* context);     // 28
    virtual bool clbkPanelRedrawEvent(int id, int event, SURFHANDLE surf, void* context);   // 29
    virtual int clbkGeneric(int msgid = 0, int prm = 0, void* context = 0);                 // 30
    virtual bool clbkLoadPanel2D(int id, PANELHANDLE hPanel, DWORD viewW, DWORD viewH);     // 31
    virtual bool clbkDrawHUD(int mode, const HUDPAINTSPEC* hps, oapi::Sketchpad* skp);      // 32
    virtual void clbkRenderHUD(int mode, const HUDPAINTSPEC* hps, SURFHANDLE hDefaultTex);  // 33
    virtual void clbkGetRadiationForce(const VECTOR3& mflux, VECTOR3& F, VECTOR3& pos);     // 34
    using VESSEL2::clbkDrawHUD;
    using VESSEL2::clbkPanelMouseEvent;
    using VESSEL2::clbkPanelRedrawEvent;
};

class OAPIFUNC VESSEL4 : public VESSEL3 {
public:
    VESSEL4(OBJHANDLE hVessel, int fmodel = 1);
    virtual int clbkNavProcess(int mode);  // 35
};

// A vessel class module exports these: the host calls ovcInit to create the
// vessel object of that class and ovcExit to destroy it.
typedef VESSEL* (*VesselClassInit)(OBJHANDLE hVessel, int flightmodel);
typedef void (*VesselClassExit)(VESSEL* vessel);
