// What the master's messages say about its simulation: date, time
// acceleration, focus, and a row per vessel. Fed only with messages that
// passed the receive checks; each is copied into its wire record and made
// safe (names terminated, counts cut) before a field is read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "KeyEvent.h"
#include "WireRecords.h"

struct SimulationFacts {
    bool known = false;  // a StartMessage has arrived
    double mjd = 0.0;
    double timeAcceleration = 0.0;
    double stepSeconds = 0.0;
    std::string focus;
};

// Message kinds a vessel's update may hold besides its status record.
enum VesselKind : unsigned {
    kCarriesExtra = 1u << 0,    // modes and radios
    kCarriesAirfoil = 1u << 1,  // control surfaces
    kCarriesAnimation = 1u << 2,
    kCarriesText = 1u << 3,  // its own scenario text
    kCarriesXR = 1u << 4,
};

struct VesselRow {
    std::string name;
    std::string className;
    std::string interfaceVersion;  // "<2" (status record version 1) or "2-3" (version 2)
    std::string body;              // reference body
    std::string base;              // surface base, when landed
    bool landed = false;
    double distance = 0.0;  // from the body's centre, m
    double altitude = 0.0;  // above the body's mean radius, m; valid when altitudeKnown
    bool altitudeKnown = false;
    double speed = 0.0;                    // relative to the body, m/s
    unsigned carries = 0;                  // VesselKind bits seen lately
    std::vector<wire::KeyEvent> lastKeys;  // the latest key events typed while it had the focus, oldest first
};

class MasterPicture {
public:
    // A vessel, or a kind of message of it, not heard of for this long is
    // taken to be gone.
    static constexpr double kForgetSeconds = 3.0;
    // Key events kept per vessel: a tap is two.
    static constexpr size_t kShownKeys = 4;

    MasterPicture();
    ~MasterPicture();

    // One message that passed the receive checks. States only when `fresh`
    // (not of an update older than one begun); keys always.
    void Apply(const uint8_t* datagram, int length, bool fresh, double now);

    const SimulationFacts& Simulation() const { return simulation_; }
    // Vessels heard of lately, by name.
    std::vector<VesselRow> Vessels(double now) const;

private:
    struct Vessel {
        VesselRow row;
        double statusTime = -1.0e300;
        double kindTimes[5] = {-1.0e300, -1.0e300, -1.0e300, -1.0e300, -1.0e300};
    };

    template <class Record>
    const Record& CopySafe(const uint8_t* datagram, int length);
    void ApplyStatus1(const wire::VesselRecord& record, double now);
    void ApplyStatus2(const wire::Vessel2Record& record, double now);
    void MarkKind(const wire::Name& vesselName, unsigned kind, double now);
    void ApplyKeys(const wire::KeyboardRecord& record);
    void ForgetGone(double now);

    SimulationFacts simulation_;
    std::map<std::string, Vessel> vessels_;
    // Room for the largest record (the scenario text), aligned for every record.
    std::unique_ptr<double[]> scratch_;
};
