// The wire records: the exact byte image of every message, little-endian,
// the 32-bit host's layout (4-byte handles and pointers, doubles at offsets
// that are multiples of 8). Every offset is pinned below; nothing here depends
// on the compiler laying out host records the same way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wire {

constexpr int kNameSize = 32;
constexpr int kMaxKeys = 16;
constexpr int kMaxAnimations = 16;
constexpr int kMaxPropellants = 16;
constexpr int kMaxThrusters = 64;
constexpr int kMaxDocks = 16;
constexpr int kMaxNavRadios = 16;
constexpr int kSurfaceKinds = 6;
constexpr int kMaxText = 65536;
// The XR record's per-index fields: byte states, state codes, part records.
constexpr int kXRByteStates = 3;
constexpr int kXRStates = 15;
constexpr int kXRRecords = 8;
constexpr int kXRBlockSize = 232;
constexpr int kXRRecordSize = 40;
constexpr int kVesselStateFixedSize = 56;
// The largest datagram: a scenario text of 65,536 bytes behind 56 bytes of fields.
constexpr int kMaxDatagram = kVesselStateFixedSize + kMaxText;
// The largest scenario text one IPv4 datagram can carry: 65,507 bytes of UDP
// payload less the 56 bytes of fixed fields.
constexpr int kMaxSendableText = 65451;

// Every message kind, once: its name in the type enum, its type code, its
// wire record and the class that carries it in the modules. The type enum,
// the size rule, the admission checks and the modules' factory all come
// from this list.
#define HELM_MESSAGE_KINDS(X)                                 \
    X(kAck, -6, HeaderRecord, AckMessage)                     \
    X(kHello, -5, HeaderRecord, HelloMessage)                 \
    X(kEnd, -1, HeaderRecord, EndMessage)                     \
    X(kStart, 0, StartRecord, StartMessage)                   \
    X(kVessel, 1, VesselRecord, VesselMessage)                \
    X(kVessel2, 2, Vessel2Record, Vessel2Message)             \
    X(kAirfoil, 3, AirfoilRecord, AirfoilMessage)             \
    X(kXR, 4, XRRecord, XRMessage)                            \
    X(kFocus, 5, FocusRecord, FocusMessage)                   \
    X(kVesselState, 6, VesselStateRecord, VesselStateMessage) \
    X(kKeyboard, 7, KeyboardRecord, KeyboardMessage)          \
    X(kVesselExtra, 8, VesselExtraRecord, VesselExtraMessage) \
    X(kAnimation, 9, AnimationRecord, AnimationMessage)

enum Type : int32_t {
#define HELM_TYPE_CODE(name, code, Record, Class) name = code,
    HELM_MESSAGE_KINDS(HELM_TYPE_CODE)
#undef HELM_TYPE_CODE
};

typedef char Name[kNameSize];

struct Header {
    int32_t type;
    int32_t seq;
};

struct Vector3 {
    double x, y, z;
};

// The host's VESSELSTATUS as the 32-bit host lays it out (496 bytes).
struct VesselStatus {
    Vector3 rpos, rvel, vrot, arot;
    double fuel, eng_main, eng_hovr;
    uint32_t rbody, base;
    int32_t port, status;
    Vector3 vdata[10];
    double fdata[10];
    uint32_t flag[10];
};

// The host's extended status record, version 2, 32-bit layout (176 bytes).
// The three list fields are pointers on the host; they carry nothing across
// the wire.
struct VesselStatus2 {
    uint32_t version, flag;
    uint32_t rbody, base;
    int32_t port, status;
    Vector3 rpos, rvel, vrot, arot;
    double surf_lng, surf_lat, surf_hdg;
    uint32_t nfuel, fuel;
    uint32_t nthruster, thruster;
    uint32_t ndockinfo, dockinfo;
    uint32_t xpdr;
    uint32_t padding;
};

struct LevelEntry {  // propellant or thruster: index, 4 bytes padding, level
    uint32_t idx;
    uint32_t padding;
    double level;
};

struct DockEntry {
    uint32_t idx;      // own port
    uint32_t ridx;     // remote port
    uint32_t rvessel;  // docked vessel handle (non-zero when docked)
};

struct KeyEntry {
    int32_t hookCode;
    int32_t virtualKey;
    int32_t keyFlags;
};

struct HeaderRecord {  // Hello, Ack, End
    Header header;
};

struct StartRecord {
    Header header;
    double mjd;
    double timeAccel;
    double simStep;
};

struct VesselRecord {
    Header header;
    double mjd;
    Name vesselName;
    Name className;
    VesselStatus status;
    Name rbodyName;
    Name baseName;
};

struct Vessel2Record {
    Header header;
    double mjd;
    Name vesselName;
    Name className;
    VesselStatus2 status2;
    Name rbodyName;
    Name baseName;
    LevelEntry fuelLevels[kMaxPropellants];
    LevelEntry thrusterLevels[kMaxThrusters];
    DockEntry dockInfo[kMaxDocks];
    Name dockVesselNames[kMaxDocks];
};

struct AirfoilRecord {
    Header header;
    Name vesselName;
    double surfaceLevels[kSurfaceKinds];
};

struct XRRecord {
    Header header;
    Name vesselName;
    uint8_t xrBlock[kXRBlockSize];
    uint8_t xrByteStates[kXRByteStates];
    uint8_t padding1;
    int32_t xrStates[kXRStates];
    double xrValue;
    // The two flags the XR interface reads and sets with GetByteA/SetByteA
    // and GetByteB/SetByteB (the interface gives them no other names).
    uint8_t xrByteA;
    uint8_t xrByteB;
    uint8_t padding2[6];
    uint8_t xrRecords[kXRRecords][kXRRecordSize];
};

struct FocusRecord {
    Header header;
    Name vesselName;
};

struct VesselStateRecord {
    Header header;
    double mjd;
    Name vesselName;
    int32_t textLength;
    int32_t padding;
    char text[kMaxText];
};

struct KeyboardRecord {
    Header header;
    int32_t keyCount;
    KeyEntry keys[kMaxKeys];
};

struct VesselExtraRecord {
    Header header;
    Name vesselName;
    int32_t navmodeBits;
    int32_t attitudeMode;
    uint32_t adCtrlMode;
    uint16_t navChannels[kMaxNavRadios];
};

struct AnimationRecord {
    Header header;
    Name vesselName;
    int32_t animCount;
    int32_t padding;
    double animStates[kMaxAnimations];
};

// ---- Pinned layout ----
static_assert(sizeof(Header) == 8, "header");
static_assert(sizeof(VesselStatus) == 496, "VESSELSTATUS image");
static_assert(offsetof(VesselStatus, rvel) == 24 && offsetof(VesselStatus, rbody) == 120 &&
                  offsetof(VesselStatus, base) == 124 && offsetof(VesselStatus, vdata) == 136 &&
                  offsetof(VesselStatus, fdata) == 376 && offsetof(VesselStatus, flag) == 456,
              "VESSELSTATUS offsets");
static_assert(sizeof(VesselStatus2) == 176, "VESSELSTATUS2 image");
static_assert(offsetof(VesselStatus2, rbody) == 8 && offsetof(VesselStatus2, base) == 12 &&
                  offsetof(VesselStatus2, rpos) == 24 && offsetof(VesselStatus2, rvel) == 48 &&
                  offsetof(VesselStatus2, surf_lng) == 120 && offsetof(VesselStatus2, nfuel) == 144 &&
                  offsetof(VesselStatus2, fuel) == 148 && offsetof(VesselStatus2, nthruster) == 152 &&
                  offsetof(VesselStatus2, thruster) == 156 && offsetof(VesselStatus2, ndockinfo) == 160 &&
                  offsetof(VesselStatus2, dockinfo) == 164 && offsetof(VesselStatus2, xpdr) == 168,
              "VESSELSTATUS2 offsets");
static_assert(sizeof(LevelEntry) == 16 && sizeof(DockEntry) == 12 && sizeof(KeyEntry) == 12, "list entries");
static_assert(sizeof(HeaderRecord) == 8, "Hello/Ack/End");
static_assert(sizeof(StartRecord) == 32, "Start");
static_assert(sizeof(VesselRecord) == 640 && offsetof(VesselRecord, status) == 80 &&
                  offsetof(VesselRecord, rbodyName) == 576 && offsetof(VesselRecord, baseName) == 608,
              "Vessel");
static_assert(sizeof(Vessel2Record) == 2304 && offsetof(Vessel2Record, status2) == 80 &&
                  offsetof(Vessel2Record, rbodyName) == 256 && offsetof(Vessel2Record, baseName) == 288 &&
                  offsetof(Vessel2Record, fuelLevels) == 320 && offsetof(Vessel2Record, thrusterLevels) == 576 &&
                  offsetof(Vessel2Record, dockInfo) == 1600 && offsetof(Vessel2Record, dockVesselNames) == 1792,
              "Vessel2");
static_assert(sizeof(AirfoilRecord) == 88 && offsetof(AirfoilRecord, surfaceLevels) == 40, "Airfoil");
static_assert(sizeof(XRRecord) == 672 && offsetof(XRRecord, xrBlock) == 40 && offsetof(XRRecord, xrByteStates) == 272 &&
                  offsetof(XRRecord, xrStates) == 276 && offsetof(XRRecord, xrValue) == 336 &&
                  offsetof(XRRecord, xrByteA) == 344 && offsetof(XRRecord, xrByteB) == 345 &&
                  offsetof(XRRecord, xrRecords) == 352,
              "XR");
static_assert(sizeof(FocusRecord) == 40, "Focus");
static_assert(sizeof(VesselStateRecord) == kMaxDatagram && offsetof(VesselStateRecord, textLength) == 48 &&
                  offsetof(VesselStateRecord, text) == 56,
              "VesselState");
static_assert(sizeof(KeyboardRecord) == 204 && offsetof(KeyboardRecord, keys) == 12, "Keyboard");
static_assert(sizeof(VesselExtraRecord) == 84 && offsetof(VesselExtraRecord, navmodeBits) == 40 &&
                  offsetof(VesselExtraRecord, adCtrlMode) == 48 && offsetof(VesselExtraRecord, navChannels) == 52,
              "VesselExtra");
static_assert(sizeof(AnimationRecord) == 176 && offsetof(AnimationRecord, animCount) == 40 &&
                  offsetof(AnimationRecord, animStates) == 48,
              "Animation");

}  // namespace wire
