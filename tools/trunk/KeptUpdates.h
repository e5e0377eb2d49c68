// The updates an end of the trunk keeps as possible baselines, by number
// modulo kKeptUpdates: the near end what it sent, the far end what it
// restored. Slots are reused, and so is their memory.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "TrunkFormat.h"

namespace trunk {

struct KeptUpdate {
    uint32_t number = 0;  // 0: nothing kept here
    std::vector<Bytes> messages;
    int count = 0;               // messages of the update (messages may hold more, unused)
    std::vector<uint64_t> keys;  // near end: the key of each message
    std::unordered_map<uint64_t, uint16_t> byKey;
    std::vector<bool> groupsSeen;  // far end: which groups arrived
    int groupsMissing = 0;
    bool whole = false;  // every message is here
};

// Whether update number `a` comes after `b` (numbers wrap).
inline bool After(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

class KeptUpdates {
public:
    KeptUpdates() : slots_(kKeptUpdates) {}

    KeptUpdate& Slot(uint32_t number) { return slots_[number % kKeptUpdates]; }
    // The update of that number when it is kept whole, else null.
    const KeptUpdate* Whole(uint32_t number) const {
        const KeptUpdate& kept = slots_[number % kKeptUpdates];
        return number != 0 && kept.number == number && kept.whole ? &kept : nullptr;
    }
    void Clear() {
        for (KeptUpdate& kept : slots_) {
            kept.number = 0;
            kept.whole = false;
        }
    }

private:
    std::vector<KeptUpdate> slots_;
};

}  // namespace trunk
