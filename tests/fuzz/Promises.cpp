#include "Promises.h"

#include <cmath>
#include <cstring>

#include "FuzzReaders.h"
#include "SimHost.h"
#include "TestVessels.h"
#include "WireRecords.h"

namespace fuzz {

namespace {

int32_t Int32At(const uint8_t* bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

}  // namespace

void RequireWorldFinite() {
    Require(std::isfinite(oapiGetSimMJD()) && std::isfinite(oapiGetTimeAcceleration()));
    for (DWORD i = 0; i < oapiGetVesselCount(); ++i) {
        VESSEL* vessel = oapiGetVesselInterface(oapiGetVesselByIndex(static_cast<int>(i)));
        if (vessel == nullptr) continue;
        const VESSELSTATUS2 status = StatusOf(*vessel);
        RequireFinite(status.rpos);
        RequireFinite(status.rvel);
        RequireFinite(status.vrot);
        RequireFinite(status.arot);
    }
}

size_t KeysReceived() {
    size_t keys = 0;
    for (DWORD i = 0; i < oapiGetVesselCount(); ++i)
        keys += simhost::Host::instance().keysReceivedBy(oapiGetVesselByIndex(static_cast<int>(i))).size();
    return keys;
}

int KeysCarried(const uint8_t* bytes, size_t length) {
    if (length != sizeof(wire::KeyboardRecord) || Int32At(bytes, 0) != wire::kKeyboard) return 0;
    const int32_t count = Int32At(bytes, offsetof(wire::KeyboardRecord, keyCount));
    return count < 0 ? 0 : (count > wire::kMaxKeys ? wire::kMaxKeys : count);
}

bool IsHeaderMessage(const uint8_t* bytes, size_t length, int32_t type) {
    return length == sizeof(wire::HeaderRecord) && Int32At(bytes, 0) == type;
}

int32_t SeqOf(const uint8_t* bytes, size_t length) {
    return length >= sizeof(wire::Header) ? Int32At(bytes, offsetof(wire::Header, seq)) : 0;
}

}  // namespace fuzz
