#include "SeedMessages.h"

#include <cstring>
#include <memory>

#include "Message.h"
#include "WireCodec.h"

namespace seeds {

namespace {

Bytes Image(Message& message, int32_t seq) {
    message.setSeq(seq);
    const uint8_t* p = message.payload();
    return Bytes(p, p + message.size());
}

}  // namespace

Bytes Header(int32_t type, int32_t seq) {
    const int32_t header[2] = {type, seq};
    const uint8_t* p = reinterpret_cast<const uint8_t*>(header);
    return Bytes(p, p + sizeof header);
}

Bytes Start(int32_t seq, double mjd, double timeAccel) {
    StartMessage start;
    start.record().mjd = mjd;
    start.record().timeAccel = timeAccel;
    start.record().simStep = 0.02;
    return Image(start, seq);
}

Bytes Focus(int32_t seq, const char* vessel) {
    FocusMessage focus;
    wire::CopyName(focus.record().vesselName, vessel);
    return Image(focus, seq);
}

Bytes Keyboard(int32_t seq, int presses) {
    KeyboardMessage keys;
    int32_t n = 0;
    for (int i = 0; i < presses && n + 1 < wire::kMaxKeys; ++i) {
        const int32_t scan = 0x1E + i;  // A, S, D, ...
        const int32_t flags = (scan << 16) | 1;
        keys.record().keys[n++] = {0, 0x41 + i, flags};
        keys.record().keys[n++] = {0, 0x41 + i, static_cast<int32_t>(static_cast<uint32_t>(flags) | 0xC0000000u)};
    }
    keys.record().keyCount = n;
    return Image(keys, seq);
}

Bytes Vessel(int32_t seq, double mjd, const char* vessel, const char* className, bool landed) {
    VesselMessage message;
    wire::VesselRecord& r = message.record();
    r.mjd = mjd;
    wire::CopyName(r.vesselName, vessel);
    wire::CopyName(r.className, className);
    r.status.rbody = 1;
    wire::CopyName(r.rbodyName, "Earth");
    r.status.fuel = 0.5;
    if (landed) {
        r.status.status = 1;
        r.status.base = 2;
        wire::CopyName(r.baseName, "Cape");
        r.status.vdata[0] = {-1.4, 0.5, 0.3};
    } else {
        r.status.rpos = {7.0e6, 0.0, 0.0};
        r.status.rvel = {0.0, 7.5e3, 0.0};
    }
    return Image(message, seq);
}

Bytes Vessel2(int32_t seq, double mjd, const char* vessel, const char* className, const char* dockedTo) {
    std::unique_ptr<Vessel2Message> message(new Vessel2Message);
    wire::Vessel2Record& r = message->record();
    r.mjd = mjd;
    wire::CopyName(r.vesselName, vessel);
    wire::CopyName(r.className, className);
    r.status2.version = 2;
    r.status2.flag = 0x1A;
    r.status2.rbody = 1;
    r.status2.rpos = {0.0, 6.8e6, 1.0e3};
    r.status2.rvel = {-7.6e3, 0.0, 0.0};
    r.status2.vrot = {0.0, 0.01, 0.0};
    wire::CopyName(r.rbodyName, "Earth");
    r.status2.nfuel = 2;
    r.fuelLevels[0] = {0, 0, 0.9};
    r.fuelLevels[1] = {1, 0, 0.5};
    r.status2.nthruster = 3;
    r.thrusterLevels[2] = {2, 0, 1.0};
    r.status2.xpdr = 42;
    if (*dockedTo != '\0') {
        r.status2.ndockinfo = 1;
        r.dockInfo[0] = {0, 1, 7};
        wire::CopyName(r.dockVesselNames[0], dockedTo);
    }
    return Image(*message, seq);
}

Bytes Extra(int32_t seq, const char* vessel) {
    VesselExtraMessage extra;
    wire::CopyName(extra.record().vesselName, vessel);
    extra.record().navmodeBits = 0x06;
    extra.record().attitudeMode = 1;
    extra.record().adCtrlMode = 7;
    extra.record().navChannels[0] = 600;
    extra.record().navChannels[1] = 17;
    return Image(extra, seq);
}

Bytes Text(int32_t seq, double mjd, const char* vessel, const char* lines) {
    std::unique_ptr<VesselStateMessage> text(new VesselStateMessage);
    text->record().mjd = mjd;
    wire::CopyName(text->record().vesselName, vessel);
    const size_t length = std::strlen(lines);
    text->record().textLength = static_cast<int32_t>(length);
    std::memcpy(text->record().text, lines, length);
    return Image(*text, seq);
}

Bytes Airfoil(int32_t seq, const char* vessel) {
    AirfoilMessage airfoil;
    wire::CopyName(airfoil.record().vesselName, vessel);
    for (int i = 0; i < wire::kSurfaceKinds; ++i) airfoil.record().surfaceLevels[i] = 0.1 * (i + 1);
    return Image(airfoil, seq);
}

Bytes Animation(int32_t seq, const char* vessel, int32_t count) {
    AnimationMessage animation;
    wire::CopyName(animation.record().vesselName, vessel);
    animation.record().animCount = count;
    for (int i = 0; i < wire::kMaxAnimations; ++i) animation.record().animStates[i] = 0.05 * i;
    return Image(animation, seq);
}

Bytes XR(int32_t seq, const char* vessel) {
    XRMessage xr;
    wire::XRRecord& r = xr.record();
    wire::CopyName(r.vesselName, vessel);
    const double block[] = {1.0, 2.0, 3.0};
    std::memcpy(r.xrBlock, block, sizeof block);
    r.xrByteStates[1] = 1;
    for (int i = 0; i < 15; ++i) r.xrStates[i] = i % 3;
    r.xrStates[12] = 1;
    r.xrValue = 12.5;
    r.xrByteA = 1;
    const double part[] = {0.25, 0.5};
    for (auto& record : r.xrRecords) std::memcpy(record, part, sizeof part);
    return Image(xr, seq);
}

std::vector<Bytes> Update(int32_t& seq, double mjd, int keyPresses) {
    std::vector<Bytes> update;
    update.push_back(Start(seq++, mjd));
    update.push_back(Focus(seq++, "Beta"));
    update.push_back(Keyboard(seq++, keyPresses));
    update.push_back(Vessel2(seq++, mjd, "Beta", "FuzzShip", "Gamma"));
    update.push_back(Extra(seq++, "Beta"));
    update.push_back(Text(seq++, mjd, "Beta", "  LIGHTS 1\n  CARGO ice\n  RVEL -7600 0 0"));
    update.push_back(Airfoil(seq++, "Beta"));
    update.push_back(Animation(seq++, "Beta", 3));
    update.push_back(Vessel2(seq++, mjd, "Gamma", "XRSample"));
    update.push_back(Extra(seq++, "Gamma"));
    update.push_back(Airfoil(seq++, "Gamma"));
    update.push_back(Animation(seq++, "Gamma", 2));
    update.push_back(XR(seq++, "Gamma"));
    update.push_back(Vessel(seq++, mjd, "Pod", "FuzzPod"));
    update.push_back(Extra(seq++, "Pod"));
    update.push_back(Header(wire::kEnd, seq++));
    return update;
}

}  // namespace seeds
