// The far end's decoding: a checked data body (or, for a large message, all
// its fragments) expanded, its entries checked, each message restored
// against the baseline update this end kept whole, and kept in turn: an
// update whose groups have all arrived is whole, a baseline from then on,
// and is acknowledged to the near end.
#pragma once

#include <cstdint>
#include <vector>

#include "GroupCodec.h"
#include "KeptUpdates.h"
#include "TrunkCheck.h"
#include "TrunkFormat.h"

namespace trunk {

class TrunkDecoder {
public:
    enum class Outcome {
        kRestored,    // Restored() holds the group's messages
        kFragment,    // kept until the group's other fragments come
        kNoBaseline,  // the baseline is not kept here (whole)
        kCorrupt,     // does not expand, or its entries fail the checks
    };

    TrunkDecoder();

    Outcome Take(const DataBody& data);
    // The messages of the last group restored, in order.
    const std::vector<Bytes>& Restored() const { return restored_; }
    int RestoredCount() const { return restoredCount_; }

    // Set when an update became whole; what to acknowledge.
    bool TakeAcknowledgement(AckBody& ack);

    int64_t WholeUpdates() const { return wholeUpdates_; }

    // A near end that started again numbers its updates afresh.
    void Reset();

private:
    struct Partial {
        uint32_t update = 0;
        uint16_t group = 0;
        uint8_t fragments = 0;
        int received = 0;
        std::vector<Bytes> chunks;
    };
    // The whole compressed group once all fragments are in; null before.
    const Bytes* Gather(const DataBody& data);
    Outcome Restore(const DataBody& data, const uint8_t* packed, size_t length);
    void Keep(const DataBody& data);

    GroupCodec codec_;
    KeptUpdates kept_;
    std::vector<Partial> partials_;
    size_t nextPartial_ = 0;
    Bytes whole_;
    Bytes raw_;
    std::vector<Entry> entries_;
    std::vector<Bytes> restored_;
    int restoredCount_ = 0;
    uint32_t newestWhole_ = 0;
    bool acknowledge_ = false;
    int64_t wholeUpdates_ = 0;
};

}  // namespace trunk
