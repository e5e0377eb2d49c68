// The trunk's encoding end to end without sockets: what the far end
// restores must be the master's datagrams byte for byte, whatever of the
// trunk was lost, reordered or came twice, and a datagram needs only its
// baseline.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "TrunkCheck.h"
#include "TrunkDecoder.h"
#include "TrunkEncoder.h"
#include "TrunkUpdates.h"

namespace {

using trunk::Bytes;
using trunktest::UpdateMaker;

struct Trunk {
    trunk::TrunkEncoder encoder;
    trunk::TrunkDecoder decoder;
    std::set<Bytes> sent;  // every datagram of the master
    int64_t restored = 0;
    int64_t bodyBytes = 0;
    int64_t rawBytes = 0;

    std::vector<Bytes> encode(const std::vector<Bytes>& update) {
        std::vector<Bytes> bodies;
        for (const Bytes& message : update) {
            sent.insert(message);
            rawBytes += static_cast<int64_t>(message.size());
            encoder.Add(message.data(), static_cast<int>(message.size()));
        }
        encoder.FinishUpdate(bodies);
        for (const Bytes& body : bodies) bodyBytes += static_cast<int64_t>(body.size());
        return bodies;
    }

    // Decodes one body; every message restored must be one the master sent.
    void decode(const Bytes& body) {
        trunk::DataBody data;
        ASSERT_EQ(trunk::ReadData(body.data(), static_cast<int>(body.size()), data), trunk::Refusal::kNone);
        const trunk::TrunkDecoder::Outcome outcome = decoder.Take(data);
        ASSERT_NE(outcome, trunk::TrunkDecoder::Outcome::kCorrupt);
        ASSERT_NE(outcome, trunk::TrunkDecoder::Outcome::kNoBaseline) << "a baseline was used that the far end lacks";
        for (int i = 0; i < decoder.RestoredCount(); ++i) {
            ASSERT_EQ(sent.count(decoder.Restored()[i]), 1u) << "a restored message differs from the master's";
            ++restored;
        }
        trunk::AckBody ack;
        if (decoder.TakeAcknowledgement(ack)) acks.push_back(ack);
    }

    std::vector<trunk::AckBody> acks;
};

TEST(TrunkCodec, RestoresEveryMessageAndCompressesAgainstTheBaseline) {
    Trunk trunk;
    UpdateMaker maker(6);
    int64_t firstBytes = 0;
    for (int u = 0; u < 40; ++u) {
        const int64_t before = trunk.bodyBytes;
        for (const Bytes& body : trunk.encode(maker.next())) trunk.decode(body);
        if (u == 0) firstBytes = trunk.bodyBytes - before;
        for (const trunk::AckBody& ack : trunk.acks) trunk.encoder.Confirm(ack);
        trunk.acks.clear();
    }
    EXPECT_EQ(trunk.restored, 40 * (6 * 2 + 2));
    EXPECT_EQ(trunk.encoder.Counts().withoutBaseline, 1);
    EXPECT_EQ(trunk.encoder.Counts().lastBaselineAge, 1u);
    // Against a baseline, an update of moving vessels costs a fraction of the first one.
    const double later = static_cast<double>(trunk.bodyBytes - firstBytes) / 39.0;
    EXPECT_LT(later, 0.5 * static_cast<double>(firstBytes));
    EXPECT_LT(static_cast<double>(trunk.bodyBytes) / static_cast<double>(trunk.rawBytes), 0.10);
}

TEST(TrunkCodec, AnyBodyThatArrivesIsRestoredWhateverWasLostReorderedOrCopied) {
    // A seed printed for a failure to be repeated.
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    Trunk trunk;
    UpdateMaker maker(40, 3000);  // several groups per update, one large message in fragments
    std::vector<Bytes> inFlight;
    int64_t delivered = 0;
    for (int u = 0; u < 60; ++u) {
        for (Bytes& body : trunk.encode(maker.next())) {
            if (random() % 100 < 20) continue;  // lost
            inFlight.push_back(body);
            if (random() % 100 < 10) inFlight.push_back(body);  // copied
        }
        std::shuffle(inFlight.begin(), inFlight.end(), random);
        // Some arrive now, the rest with the next update's.
        const size_t now = inFlight.size() / 2;
        for (size_t i = 0; i < now; ++i) trunk.decode(inFlight[i]);
        delivered += static_cast<int64_t>(now);
        inFlight.erase(inFlight.begin(), inFlight.begin() + static_cast<long>(now));
        // Acknowledgements are lost too.
        for (const trunk::AckBody& ack : trunk.acks)
            if (random() % 100 >= 20) trunk.encoder.Confirm(ack);
        trunk.acks.clear();
    }
    EXPECT_GT(delivered, 60);
    EXPECT_GT(trunk.restored, 60 * 40);
    EXPECT_GT(trunk.decoder.WholeUpdates(), 5);
    EXPECT_LT(trunk.encoder.Counts().withoutBaseline, 30);
}

TEST(TrunkCodec, MessagesThatCameLateGoAloneAndAreRestored) {
    Trunk trunk;
    UpdateMaker maker(3);
    std::vector<Bytes> first = maker.next();
    for (const Bytes& body : trunk.encode(first)) trunk.decode(body);
    for (const trunk::AckBody& ack : trunk.acks) trunk.encoder.Confirm(ack);
    std::vector<Bytes> bodies;
    trunk.encoder.EncodeLoose(first[1].data(), static_cast<int>(first[1].size()), bodies);
    ASSERT_EQ(bodies.size(), 1u);
    const int64_t wholeBefore = trunk.decoder.WholeUpdates();
    trunk.decode(bodies[0]);
    ASSERT_EQ(trunk.decoder.RestoredCount(), 1);
    EXPECT_EQ(trunk.decoder.Restored()[0], first[1]);
    EXPECT_EQ(trunk.decoder.WholeUpdates(), wholeBefore);
}

}  // namespace
