#include "WireCheck.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace wire {

namespace {

// Fields are read by offset from the datagram's bytes: the datagram need not
// be aligned, and no object is built from it yet. A value passes when it is
// a number within `limit` either way.
bool WithinAt(const uint8_t* datagram, size_t offset, double limit, int doubles = 1) {
    for (int i = 0; i < doubles; ++i) {
        double value;
        std::memcpy(&value, datagram + offset + i * sizeof(double), sizeof value);
        if (!(std::fabs(value) <= limit)) return false;  // NaN fails too
    }
    return true;
}

// Position, velocity, angular velocity and attitude: four runs of three
// doubles, all of them applied to the vessel.
template <class Status>
bool MotionWithin(const uint8_t* datagram, size_t statusOffset) {
    return WithinAt(datagram, statusOffset + offsetof(Status, rpos), kMaxPosition, 3) &&
           WithinAt(datagram, statusOffset + offsetof(Status, rvel), kMaxSpeed, 3) &&
           WithinAt(datagram, statusOffset + offsetof(Status, vrot), kMaxAngle, 3) &&
           WithinAt(datagram, statusOffset + offsetof(Status, arot), kMaxAngle, 3);
}

int32_t Int32At(const uint8_t* datagram, size_t offset) {
    int32_t value;
    std::memcpy(&value, datagram + offset, sizeof value);
    return value;
}

// The levels of the first `count` entries of a propellant or thruster list.
bool LevelsWithin(const uint8_t* datagram, size_t listOffset, uint32_t count, int32_t capacity) {
    const int32_t used = CutCount(static_cast<int32_t>(count), capacity);
    for (int32_t i = 0; i < used; ++i) {
        if (!WithinAt(datagram, listOffset + i * sizeof(LevelEntry) + offsetof(LevelEntry, level), kMaxLevel))
            return false;
    }
    return true;
}

// The values a receiver applies from a record of each kind: numbers within
// what a simulation can hold, so that nothing the host computes from them
// overflows. Kinds that carry none have nothing to judge.
template <class Record>
bool AppliedValuesWithin(const uint8_t*) {
    return true;
}

template <>
bool AppliedValuesWithin<StartRecord>(const uint8_t* datagram) {
    return WithinAt(datagram, offsetof(StartRecord, mjd), kMaxMjd) &&
           WithinAt(datagram, offsetof(StartRecord, timeAccel), kMaxTimeAcceleration) &&
           WithinAt(datagram, offsetof(StartRecord, simStep), kMaxStep);
}

template <>
bool AppliedValuesWithin<VesselRecord>(const uint8_t* datagram) {
    constexpr size_t status = offsetof(VesselRecord, status);
    // Fuel and engine levels; for a landed vessel (status 1) also the
    // surface position that the host reads from the first data vector.
    const bool landed = Int32At(datagram, status + offsetof(VesselStatus, status)) == 1;
    return WithinAt(datagram, offsetof(VesselRecord, mjd), kMaxMjd) && MotionWithin<VesselStatus>(datagram, status) &&
           WithinAt(datagram, status + offsetof(VesselStatus, fuel), kMaxLevel, 3) &&
           (!landed || WithinAt(datagram, status + offsetof(VesselStatus, vdata), kMaxAngle, 3));
}

template <>
bool AppliedValuesWithin<Vessel2Record>(const uint8_t* datagram) {
    constexpr size_t status = offsetof(Vessel2Record, status2);
    const uint32_t fuelCount = static_cast<uint32_t>(Int32At(datagram, status + offsetof(VesselStatus2, nfuel)));
    const uint32_t thrusterCount =
        static_cast<uint32_t>(Int32At(datagram, status + offsetof(VesselStatus2, nthruster)));
    return WithinAt(datagram, offsetof(Vessel2Record, mjd), kMaxMjd) && MotionWithin<VesselStatus2>(datagram, status) &&
           WithinAt(datagram, status + offsetof(VesselStatus2, surf_lng), kMaxAngle, 3) &&
           LevelsWithin(datagram, offsetof(Vessel2Record, fuelLevels), fuelCount, kMaxPropellants) &&
           LevelsWithin(datagram, offsetof(Vessel2Record, thrusterLevels), thrusterCount, kMaxThrusters);
}

template <>
bool AppliedValuesWithin<AirfoilRecord>(const uint8_t* datagram) {
    return WithinAt(datagram, offsetof(AirfoilRecord, surfaceLevels), kMaxLevel, kSurfaceKinds);
}

template <>
bool AppliedValuesWithin<XRRecord>(const uint8_t* datagram) {
    return WithinAt(datagram, offsetof(XRRecord, xrValue), kMaxPosition);
}

template <>
bool AppliedValuesWithin<VesselStateRecord>(const uint8_t* datagram) {
    return WithinAt(datagram, offsetof(VesselStateRecord, mjd), kMaxMjd);
}

template <>
bool AppliedValuesWithin<AnimationRecord>(const uint8_t* datagram) {
    const int32_t count = CutCount(Int32At(datagram, offsetof(AnimationRecord, animCount)), kMaxAnimations);
    return WithinAt(datagram, offsetof(AnimationRecord, animStates), kMaxLevel, count);
}

// Whether `length` bytes hold a record of the kind; a scenario-text record
// is as long as its text.
template <class Record>
bool Holds(int length) {
    return length >= static_cast<int>(sizeof(Record));
}

template <>
bool Holds<VesselStateRecord>(int length) {
    return length >= kVesselStateFixedSize;
}

// The size rule for one kind: fixed, but for the scenario text's length.
template <class Record>
int SizeOf(const uint8_t*, int) {
    return static_cast<int>(sizeof(Record));
}

template <>
int SizeOf<VesselStateRecord>(const uint8_t* bytes, int available) {
    const size_t at = offsetof(VesselStateRecord, textLength);
    if (available < static_cast<int>(at + sizeof(int32_t))) return -1;
    const int32_t textLength = Int32At(bytes, at);
    if (textLength < 0 || textLength > kMaxText) return -1;
    return kVesselStateFixedSize + textLength;
}

uint32_t CutUnsignedCount(uint32_t count, int32_t capacity) {
    return static_cast<uint32_t>(CutCount(static_cast<int32_t>(count), capacity));
}

}  // namespace

const char* RejectionText(Rejection why) {
    switch (why) {
        case Rejection::kNone:
            return "a message";
        case Rejection::kTooShort:
            return "shorter than a header";
        case Rejection::kUnknownType:
            return "unknown type";
        case Rejection::kWrongLength:
            return "wrong length for its type";
        case Rejection::kBadValues:
            return "values that cannot be applied";
        case Rejection::kNoMemory:
            return "no memory";
    }
    return "?";
}

bool KnownType(int32_t type) {
    switch (type) {
#define HELM_KNOWN_CASE(name, code, Record, Class) case name:
        HELM_MESSAGE_KINDS(HELM_KNOWN_CASE)
#undef HELM_KNOWN_CASE
        return true;
        default:
            return false;
    }
}

int RecordSize(const void* record, int available) {
    if (record == nullptr || available < static_cast<int>(sizeof(Header))) return -1;
    const uint8_t* bytes = static_cast<const uint8_t*>(record);
    switch (Int32At(bytes, offsetof(Header, type))) {
#define HELM_SIZE_CASE(name, code, Record, Class) \
    case name:                                    \
        return SizeOf<Record>(bytes, available);
        HELM_MESSAGE_KINDS(HELM_SIZE_CASE)
#undef HELM_SIZE_CASE
        default:
            return -1;
    }
}

int32_t TypeOf(const uint8_t* datagram, int length) {
    if (datagram == nullptr || length < static_cast<int>(sizeof(Header))) return kNoType;
    return Int32At(datagram, offsetof(Header, type));
}

Rejection CheckDatagram(const uint8_t* datagram, int length) {
    if (datagram == nullptr || length < static_cast<int>(sizeof(Header))) return Rejection::kTooShort;
    if (RecordSize(datagram, length) != length) {
        return KnownType(Int32At(datagram, offsetof(Header, type))) ? Rejection::kWrongLength : Rejection::kUnknownType;
    }
    return ValuesWithinBounds(datagram, length) ? Rejection::kNone : Rejection::kBadValues;
}

bool ValuesWithinBounds(const uint8_t* datagram, int length) {
    if (datagram == nullptr || length < static_cast<int>(sizeof(Header))) return false;
    switch (Int32At(datagram, offsetof(Header, type))) {
#define HELM_FINITE_CASE(name, code, Record, Class) \
    case name:                                      \
        return Holds<Record>(length) && AppliedValuesWithin<Record>(datagram);
        HELM_MESSAGE_KINDS(HELM_FINITE_CASE)
#undef HELM_FINITE_CASE
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
