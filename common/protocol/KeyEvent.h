// What the flags of a key entry say (the keyboard message's layout): the
// scan code in bits 16-23, the extended-key bit 24, Alt held (context) bit
// 29, and the transition bit 31, set when the key goes up.
#pragma once

#include <cstdint>

#include "WireRecords.h"

namespace wire {

constexpr int kScanCodeShift = 16;
constexpr uint32_t kScanCodeMask = 0xFF;
constexpr uint32_t kExtendedKeyBit = 1u << 24;
constexpr uint32_t kAltHeldBit = 1u << 29;
constexpr uint32_t kTransitionBit = 1u << 31;

struct KeyEvent {
    uint32_t scanCode = 0;
    int32_t virtualKey = 0;
    bool release = false;
    bool altHeld = false;
    bool extended = false;
};

inline KeyEvent DecodeKey(const KeyEntry& entry) {
    const uint32_t flags = static_cast<uint32_t>(entry.keyFlags);
    KeyEvent event;
    event.scanCode = (flags >> kScanCodeShift) & kScanCodeMask;
    event.virtualKey = entry.virtualKey;
    event.release = (flags & kTransitionBit) != 0;
    event.altHeld = (flags & kAltHeldBit) != 0;
    event.extended = (flags & kExtendedKeyBit) != 0;
    return event;
}

}  // namespace wire
