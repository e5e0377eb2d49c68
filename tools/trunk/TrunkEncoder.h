// The near end's encoding: the master's messages gathered into updates,
// each message made a residual against the same message of the newest
// update the far end has confirmed, the residuals packed into groups that
// compress to one trunk datagram each (a group of one message too large
// for that goes in fragments), and the data bodies written. Each group
// needs only its baseline to be restored, so any datagram that arrives can
// be used, whatever was lost before it.
#pragma once

#include <cstdint>
#include <vector>

#include "GroupCodec.h"
#include "KeptUpdates.h"
#include "TrunkFormat.h"

namespace trunk {

class TrunkEncoder {
public:
    static constexpr int kDefaultLevel = 3;

    struct Figures {
        int64_t updates = 0;
        int64_t rawBytes = 0;      // of the master's messages encoded
        int64_t encodedBytes = 0;  // of the data bodies (echo, seal and header not counted)
        int64_t withoutBaseline = 0;
        uint32_t lastBaselineAge = 0;  // updates between the last update and its baseline (0: none)
    };

    explicit TrunkEncoder(int level = kDefaultLevel);

    // A message of the update being gathered.
    void Add(const uint8_t* message, int length);
    bool Gathering() const { return gathered_ > 0; }
    int Gathered() const { return gathered_; }
    // The gathered messages as the next update: its data bodies (without
    // the echo) appended to `bodies`.
    void FinishUpdate(std::vector<Bytes>& bodies);
    // A message that belongs to no update still gathered (one that came
    // late): its own group, against the same baseline.
    void EncodeLoose(const uint8_t* message, int length, std::vector<Bytes>& bodies);

    // The far end restored these updates whole.
    void Confirm(const AckBody& ack);
    // Another far end, or one that started again: nothing is confirmed.
    void ForgetConfirmations() { confirmed_ = 0; }

    const Figures& Counts() const { return figures_; }

private:
    struct Group {
        int first;
        int count;
        uint32_t rawLength;
        Bytes packed;
    };
    const KeptUpdate* Baseline(uint32_t number) const;
    void ChooseReferences(const KeptUpdate& update, const KeptUpdate* base);
    // Residuals of messages [first, first + count) of `update`, compressed; split when too large.
    void PackGroup(const KeptUpdate& update, const KeptUpdate* base, int first, int count, std::vector<Group>& groups);
    void WriteBodies(uint32_t number, uint32_t baseline, uint16_t groupCount, const std::vector<Group>& groups,
                     bool loose, std::vector<Bytes>& bodies);
    void Keep(KeptUpdate& update);

    GroupCodec codec_;
    KeptUpdates sent_;
    std::vector<Bytes> incoming_;  // gathered messages (reused)
    int gathered_ = 0;
    uint32_t last_ = 0;       // number of the last update
    uint32_t confirmed_ = 0;  // newest update the far end confirmed
    std::vector<uint16_t> references_;
    Bytes raw_;
    std::vector<Group> groups_;
    KeptUpdate loose_;
    // Compressed / raw, learnt from the groups packed, with and without a baseline.
    double ratio_[2] = {0.25, 0.1};
    Figures figures_;
};

}  // namespace trunk
