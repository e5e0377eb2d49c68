#include "WireCheck.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace wire {

namespace {

// Fields are read by offset from the datagram's bytes: the datagram need not
// be aligned, and no object is built from it yet.
bool FiniteAt(const uint8_t* datagram, size_t offset, int doubles = 1) {
    for (int i = 0; i < doubles; ++i) {
        double value;
        std::memcpy(&value, datagram + offset + i * sizeof(double), sizeof value);
        if (!std::isfinite(value)) return false;
    }
    return true;
}

// Position and velocity are two runs of three doubles.
template <class Status>
bool MotionFinite(const uint8_t* datagram, size_t statusOffset) {
    return FiniteAt(datagram, statusOffset + offsetof(Status, rpos), 3) &&
           FiniteAt(datagram, statusOffset + offsetof(Status, rvel), 3);
}

template <class Record>
bool Holds(int length) {
    return length >= static_cast<int>(sizeof(Record));
}

uint32_t CutUnsignedCount(uint32_t count, int32_t capacity) {
    return static_cast<uint32_t>(CutCount(static_cast<int32_t>(count), capacity));
}

}  // namespace

bool ValuesFinite(const uint8_t* datagram, int length) {
    if (datagram == nullptr || length < static_cast<int>(sizeof(Header))) return false;
    int32_t type;
    std::memcpy(&type, datagram, sizeof type);
    switch (type) {
        case kStart:
            return Holds<StartRecord>(length) && FiniteAt(datagram, offsetof(StartRecord, mjd), 3);
        case kVessel:
            return Holds<VesselRecord>(length) && FiniteAt(datagram, offsetof(VesselRecord, mjd)) &&
                   MotionFinite<VesselStatus>(datagram, offsetof(VesselRecord, status));
        case kVessel2:
            return Holds<Vessel2Record>(length) && FiniteAt(datagram, offsetof(Vessel2Record, mjd)) &&
                   MotionFinite<VesselStatus2>(datagram, offsetof(Vessel2Record, status2));
        case kVesselState:
            return length >= kVesselStateFixedSize && FiniteAt(datagram, offsetof(VesselStateRecord, mjd));
        default:
            return true;
    }
}

int32_t CutCount(int32_t count, int32_t capacity) {
    if (count < 0) return 0;
    return count > capacity ? capacity : count;
}

void TerminateName(Name& name) { name[kNameSize - 1] = '\0'; }

void MakeSafe(VesselRecord& record) {
    TerminateName(record.vesselName);
    TerminateName(record.className);
    TerminateName(record.rbodyName);
    TerminateName(record.baseName);
}

void MakeSafe(Vessel2Record& record) {
    TerminateName(record.vesselName);
    TerminateName(record.className);
    TerminateName(record.rbodyName);
    TerminateName(record.baseName);
    for (Name& name : record.dockVesselNames) TerminateName(name);
    record.status2.nfuel = CutUnsignedCount(record.status2.nfuel, kMaxPropellants);
    record.status2.nthruster = CutUnsignedCount(record.status2.nthruster, kMaxThrusters);
    record.status2.ndockinfo = CutUnsignedCount(record.status2.ndockinfo, kMaxDocks);
}

void MakeSafe(AirfoilRecord& record) { TerminateName(record.vesselName); }
void MakeSafe(XRRecord& record) { TerminateName(record.vesselName); }
void MakeSafe(FocusRecord& record) { TerminateName(record.vesselName); }

void MakeSafe(VesselStateRecord& record) {
    TerminateName(record.vesselName);
    // The length has been matched against the datagram already; cutting it
    // again keeps a record that came some other way within its text array.
    record.textLength = CutCount(record.textLength, kMaxText);
}

void MakeSafe(KeyboardRecord& record) { record.keyCount = CutCount(record.keyCount, kMaxKeys); }

void MakeSafe(VesselExtraRecord& record) { TerminateName(record.vesselName); }

void MakeSafe(AnimationRecord& record) {
    TerminateName(record.vesselName);
    record.animCount = CutCount(record.animCount, kMaxAnimations);
}

}  // namespace wire
