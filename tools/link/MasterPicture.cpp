#include "MasterPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>

#include "WireCheck.h"
#include "WireName.h"

namespace {

// Mean radii of the bodies a vessel usually flies around, in metres; for
// any other body the picture gives the distance from its centre only.
struct BodyRadius {
    const char* name;
    double radius;
};
constexpr BodyRadius kBodyRadii[] = {
    {"Sun", 6.96e8},    {"Mercury", 2.4397e6}, {"Venus", 6.0518e6},  {"Earth", 6.371e6},   {"Moon", 1.7374e6},
    {"Mars", 3.3895e6}, {"Jupiter", 6.9911e7}, {"Saturn", 5.8232e7}, {"Uranus", 2.5362e7}, {"Neptune", 2.4622e7},
};

bool RadiusOf(const std::string& body, double& radius) {
    for (const BodyRadius& known : kBodyRadii) {
        if (body == known.name) {
            radius = known.radius;
            return true;
        }
    }
    return false;
}

double Length(const wire::Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

constexpr size_t kScratchDoubles = (sizeof(wire::VesselStateRecord) + sizeof(double) - 1) / sizeof(double);

// The kind bit's slot in a vessel's kind times.
int KindSlot(unsigned kind) {
    int slot = 0;
    while (kind > 1u) {
        kind >>= 1;
        ++slot;
    }
    return slot;
}

}  // namespace

MasterPicture::MasterPicture() : scratch_(new double[kScratchDoubles]) {}
MasterPicture::~MasterPicture() = default;

template <class Record>
const Record& MasterPicture::CopySafe(const uint8_t* datagram, int length) {
    static_assert(sizeof(Record) <= kScratchDoubles * sizeof(double), "scratch too small");
    std::memset(scratch_.get(), 0, sizeof(Record));
    Record* record = new (scratch_.get()) Record;
    std::memcpy(record, datagram, std::min(static_cast<size_t>(length), sizeof(Record)));
    wire::MakeSafe(*record);
    return *record;
}

void MasterPicture::Apply(const uint8_t* datagram, int length, bool fresh, double now) {
    if (datagram == nullptr || length < static_cast<int>(sizeof(wire::Header))) return;
    int32_t type;
    std::memcpy(&type, datagram, sizeof type);
    if (type == wire::kKeyboard) {
        ApplyKeys(CopySafe<wire::KeyboardRecord>(datagram, length));
        return;
    }
    if (!fresh) return;
    switch (type) {
        case wire::kStart: {
            const wire::StartRecord& start = CopySafe<wire::StartRecord>(datagram, length);
            simulation_.known = true;
            simulation_.mjd = start.mjd;
            simulation_.timeAcceleration = start.timeAccel;
            simulation_.stepSeconds = start.simStep;
            ForgetGone(now);
            break;
        }
        case wire::kFocus:
            simulation_.focus = wire::NameText(CopySafe<wire::FocusRecord>(datagram, length).vesselName);
            break;
        case wire::kVessel:
            ApplyStatus1(CopySafe<wire::VesselRecord>(datagram, length), now);
            break;
        case wire::kVessel2:
            ApplyStatus2(CopySafe<wire::Vessel2Record>(datagram, length), now);
            break;
        case wire::kVesselExtra:
            MarkKind(CopySafe<wire::VesselExtraRecord>(datagram, length).vesselName, kCarriesExtra, now);
            break;
        case wire::kAirfoil:
            MarkKind(CopySafe<wire::AirfoilRecord>(datagram, length).vesselName, kCarriesAirfoil, now);
            break;
        case wire::kAnimation:
            MarkKind(CopySafe<wire::AnimationRecord>(datagram, length).vesselName, kCarriesAnimation, now);
            break;
        case wire::kVesselState:
            MarkKind(CopySafe<wire::VesselStateRecord>(datagram, length).vesselName, kCarriesText, now);
            break;
        case wire::kXR:
            MarkKind(CopySafe<wire::XRRecord>(datagram, length).vesselName, kCarriesXR, now);
            break;
        default:  // End, Hello, Ack: nothing to show
            break;
    }
}

namespace {

// The row of a vessel from either status record: both carry the names, the
// handles, position, velocity and the landed status.
template <class Record, class Status>
void FillRow(VesselRow& row, const Record& record, const Status& status, const char* interfaceVersion) {
    row.name = wire::NameText(record.vesselName);
    row.className = wire::NameText(record.className);
    row.interfaceVersion = interfaceVersion;
    // A zero handle means no object; its name field is not read.
    row.body = status.rbody != 0 ? wire::NameText(record.rbodyName) : "";
    row.base = status.base != 0 ? wire::NameText(record.baseName) : "";
    row.landed = status.status == 1;
    row.distance = Length(status.rpos);
    row.speed = Length(status.rvel);
    double radius = 0.0;
    row.altitudeKnown = RadiusOf(row.body, radius);
    row.altitude = row.altitudeKnown ? row.distance - radius : 0.0;
}

}  // namespace

void MasterPicture::ApplyStatus1(const wire::VesselRecord& record, double now) {
    Vessel& vessel = vessels_[wire::NameText(record.vesselName)];
    FillRow(vessel.row, record, record.status, "<2");
    vessel.statusTime = now;
}

void MasterPicture::ApplyStatus2(const wire::Vessel2Record& record, double now) {
    Vessel& vessel = vessels_[wire::NameText(record.vesselName)];
    FillRow(vessel.row, record, record.status2, "2-3");
    vessel.statusTime = now;
}

void MasterPicture::MarkKind(const wire::Name& vesselName, unsigned kind, double now) {
    // Only vessels whose status arrived get a row: a kind alone says too little.
    auto found = vessels_.find(wire::NameText(vesselName));
    if (found == vessels_.end()) return;
    found->second.kindTimes[KindSlot(kind)] = now;
}

void MasterPicture::ApplyKeys(const wire::KeyboardRecord& record) {
    if (record.keyCount <= 0) return;
    auto found = vessels_.find(simulation_.focus);
    if (found == vessels_.end()) return;
    std::vector<wire::KeyEvent>& keys = found->second.row.lastKeys;
    for (int32_t i = 0; i < record.keyCount; ++i) keys.push_back(wire::DecodeKey(record.keys[i]));
    if (keys.size() > kShownKeys) keys.erase(keys.begin(), keys.end() - kShownKeys);
}

void MasterPicture::ForgetGone(double now) {
    for (auto it = vessels_.begin(); it != vessels_.end();) {
        it = now - it->second.statusTime > kForgetSeconds ? vessels_.erase(it) : std::next(it);
    }
}

std::vector<VesselRow> MasterPicture::Vessels(double now) const {
    std::vector<VesselRow> rows;
    for (const auto& entry : vessels_) {
        const Vessel& vessel = entry.second;
        if (now - vessel.statusTime > kForgetSeconds) continue;
        VesselRow row = vessel.row;
        row.carries = 0;
        for (int slot = 0; slot < 5; ++slot) {
            if (now - vessel.kindTimes[slot] <= kForgetSeconds) row.carries |= 1u << slot;
        }
        rows.push_back(row);
    }
    return rows;
}
