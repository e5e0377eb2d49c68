#include "UpdateBuilder.h"

#include <cstring>
#include <memory>

#include "Message.h"
#include "VesselCapture.h"
#include "WireCodec.h"

namespace bench {
namespace {

void Append(std::vector<Bytes>& datagrams, const Message& message) {
    const int size = message.size();
    if (size > 0) datagrams.emplace_back(message.payload(), message.payload() + size);
}

// The message of `kind` the master captures from `vessel`, if it sends one
// for that vessel.
void AppendCaptured(std::vector<Bytes>& datagrams, Kind kind, OBJHANDLE vessel) {
    switch (kind) {
        case Kind::kState: {
            static StateCapture states;
            if (const Message* state = states.Capture(vessel)) Append(datagrams, *state);
            return;
        }
        case Kind::kExtra:
            return Append(datagrams, VesselExtraMessage(vessel));
        case Kind::kAirfoil:
            return Append(datagrams, AirfoilMessage(vessel));
        case Kind::kAnimation:
            return Append(datagrams, AnimationMessage(vessel));
        case Kind::kXR: {
            const XRMessage xr(vessel);
            if (xr.xrValid) Append(datagrams, xr);
            return;
        }
        case Kind::kText: {
            auto text = std::make_unique<VesselStateMessage>(vessel);  // 64 KiB: not on the stack
            if (text->capture == VesselStateMessage::TextCapture::kDone) Append(datagrams, *text);
            return;
        }
    }
}

void AppendVessel(std::vector<Bytes>& datagrams, OBJHANDLE vessel) {
    for (Kind kind : {Kind::kState, Kind::kExtra, Kind::kAirfoil, Kind::kAnimation, Kind::kXR})
        AppendCaptured(datagrams, kind, vessel);
}

void AppendEnd(std::vector<Bytes>& datagrams) { Append(datagrams, EndMessage()); }

}  // namespace

std::vector<Bytes> FullUpdate(const std::vector<OBJHANDLE>& vessels) {
    std::vector<Bytes> datagrams;
    StartMessage start;
    start.record().mjd = oapiGetSimMJD();
    start.record().simStep = oapiGetSimStep();
    start.record().timeAccel = oapiGetTimeAcceleration();
    Append(datagrams, start);
    FocusMessage focus;
    VESSEL* focusVessel = oapiGetFocusInterface();
    wire::CopyName(focus.record().vesselName, focusVessel != nullptr ? focusVessel->GetName() : "");
    Append(datagrams, focus);
    Append(datagrams, KeyboardMessage());
    for (OBJHANDLE vessel : vessels) AppendVessel(datagrams, vessel);
    AppendEnd(datagrams);
    return datagrams;
}

std::vector<Bytes> KindUpdate(Kind kind, const std::vector<OBJHANDLE>& vessels) {
    std::vector<Bytes> datagrams;
    for (OBJHANDLE vessel : vessels) AppendCaptured(datagrams, kind, vessel);
    AppendEnd(datagrams);
    return datagrams;
}

std::vector<Bytes> VesselsUpdate(const std::vector<OBJHANDLE>& vessels) {
    std::vector<Bytes> datagrams;
    for (OBJHANDLE vessel : vessels) AppendVessel(datagrams, vessel);
    AppendEnd(datagrams);
    return datagrams;
}

void Stamp(std::vector<Bytes>& datagrams, int32_t& next) {
    for (Bytes& datagram : datagrams) {
        if (datagram.size() >= sizeof(wire::Header))
            std::memcpy(datagram.data() + offsetof(wire::Header, seq), &next, sizeof next);
        next = static_cast<int32_t>(static_cast<uint32_t>(next) + 1u);
    }
}

}  // namespace bench
