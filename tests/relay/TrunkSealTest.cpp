// What the trunk lets in: only datagrams sealed with the key, each counter
// of a peer's run once, no run left behind, and no field out of its range.
#include <gtest/gtest.h>

#include <cstring>

#include "PeerRun.h"
#include "TrunkBytes.h"
#include "TrunkCheck.h"
#include "TrunkSeal.h"

namespace {

using trunk::Bytes;

const uint8_t kKey[trunk::kKeySize] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                       17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

bool Opens(const trunk::TrunkSeal& seal, const Bytes& datagram, Bytes& body) {
    trunk::ClearHeader header;
    if (trunk::ReadClearHeader(datagram.data(), static_cast<int>(datagram.size()), seal.Sealed(), header) !=
        trunk::Refusal::kNone)
        return false;
    return seal.Open(datagram.data(), static_cast<int>(datagram.size()), header, body);
}

TEST(TrunkSeal, OnlyTheKeyOpensAndNothingAlteredPasses) {
    trunk::TrunkSeal near, far, wrong, insecure;
    near.UseKey(kKey);
    far.UseKey(kKey);
    uint8_t other[trunk::kKeySize];
    std::memcpy(other, kKey, sizeof other);
    other[0] ^= 1;
    wrong.UseKey(other);
    insecure.UseNoKey();

    const Bytes body(40, 0x5A);
    Bytes datagram, opened;
    near.Seal(trunk::Kind::kData, 77, 1, body.data(), static_cast<int>(body.size()), datagram);
    EXPECT_EQ(datagram.size(), body.size() + trunk::kClearHeaderSize + trunk::kTagSize);
    ASSERT_TRUE(Opens(far, datagram, opened));
    EXPECT_EQ(opened, body);
    EXPECT_FALSE(Opens(wrong, datagram, opened));
    EXPECT_FALSE(Opens(insecure, datagram, opened)) << "a sealed datagram taken in clear";
    // Any byte altered, the clear header's (counter, kind) as the body's.
    for (size_t at : {size_t{5}, size_t{16}, size_t{30}, datagram.size() - 1}) {
        Bytes altered = datagram;
        altered[at] ^= 0x01;
        EXPECT_FALSE(Opens(far, altered, opened)) << "byte " << at;
    }
    // Encrypted: the body's bytes do not show.
    EXPECT_EQ(std::search(datagram.begin(), datagram.end(), body.begin(), body.begin() + 16), datagram.end());
}

TEST(TrunkSeal, KeyFilesHoldSixtyFourHexadecimalDigits) {
    const std::string folder = ::testing::TempDir();
    const std::string good = folder + "/trunk-good.key", bad = folder + "/trunk-bad.key";
    FILE* file = std::fopen(good.c_str(), "w");
    std::fputs("  000102030405060708090a0b0c0d0e0f\n101112131415161718191A1B1C1D1E1F\n", file);
    std::fclose(file);
    file = std::fopen(bad.c_str(), "w");
    std::fputs("00010203 not a key\n", file);
    std::fclose(file);
    trunk::TrunkSeal seal;
    std::string error;
    EXPECT_TRUE(seal.LoadKeyFile(good, error)) << error;
    EXPECT_TRUE(seal.Sealed());
    EXPECT_FALSE(seal.LoadKeyFile(bad, error));
    EXPECT_NE(error.find("64 hexadecimal digits"), std::string::npos) << error;
    EXPECT_FALSE(seal.LoadKeyFile(folder + "/no-such.key", error));
}

TEST(TrunkPeerRun, EachCounterOnceWithinTheWindowAndNoRunTwice) {
    trunk::PeerRun peer;
    peer.SwitchTo(1000);
    for (uint64_t c : {5u, 3u, 9u, 4u}) {
        ASSERT_TRUE(peer.Fresh(c)) << c;
        peer.Take(c);
    }
    EXPECT_FALSE(peer.Fresh(3)) << "a copy";
    EXPECT_FALSE(peer.Fresh(9));
    EXPECT_TRUE(peer.Fresh(6)) << "reordered, not yet seen";
    EXPECT_FALSE(peer.Fresh(0));
    peer.Take(9 + trunk::PeerRun::kWindow);
    EXPECT_FALSE(peer.Fresh(6)) << "behind the window: cannot be judged, refused";
    EXPECT_TRUE(peer.Fresh(10)) << "the oldest counter the window still judges";
    EXPECT_FALSE(peer.Fresh(9 + trunk::PeerRun::kWindow));
    peer.SwitchTo(2000);
    EXPECT_TRUE(peer.Retired(1000));
    EXPECT_FALSE(peer.Retired(2000));
    EXPECT_TRUE(peer.Fresh(1)) << "a new run starts its own window";
}

TEST(TrunkCheck, RefusesFieldsOutOfRange) {
    Bytes datagram(trunk::kClearHeaderSize + 8, 0);
    std::memcpy(datagram.data(), trunk::kMagic, 4);
    datagram[4] = trunk::kVersion;
    datagram[5] = static_cast<uint8_t>(trunk::Kind::kHello);
    trunk::Store<uint16_t>(datagram.data() + 6, 8);
    trunk::ClearHeader header;
    const auto read = [&](const Bytes& d) {
        return trunk::ReadClearHeader(d.data(), static_cast<int>(d.size()), false, header);
    };
    EXPECT_EQ(read(datagram), trunk::Refusal::kNone);
    Bytes other = datagram;
    other[4] = 2;
    EXPECT_EQ(read(other), trunk::Refusal::kOtherVersion);
    other = datagram;
    other[5] = 9;
    EXPECT_EQ(read(other), trunk::Refusal::kUnknownKind);
    other = datagram;
    other.push_back(0);
    EXPECT_EQ(read(other), trunk::Refusal::kWrongLength);
    other = datagram;
    other[0] = 'X';
    EXPECT_EQ(read(other), trunk::Refusal::kNotTrunk);
    EXPECT_EQ(trunk::ReadClearHeader(datagram.data(), static_cast<int>(datagram.size()), true, header),
              trunk::Refusal::kSealedOtherwise)
        << "a datagram in clear at an end with a key";

    // A data body: update 10 against baseline 9, one group of one message.
    Bytes data;
    for (uint32_t v : {10u, 9u}) trunk::Append<uint32_t>(data, v);
    for (uint16_t v : {0, 1, 0, 1}) trunk::Append<uint16_t>(data, v);
    trunk::Append<uint8_t>(data, 0);
    trunk::Append<uint8_t>(data, 1);
    trunk::Append<uint32_t>(data, 14);
    data.push_back(0x28);
    trunk::DataBody body;
    const auto readData = [&](const Bytes& d) { return trunk::ReadData(d.data(), static_cast<int>(d.size()), body); };
    EXPECT_EQ(readData(data), trunk::Refusal::kNone);
    Bytes bad = data;
    trunk::Store<uint32_t>(bad.data() + 4, 10 - trunk::kBaselineReach);
    EXPECT_EQ(readData(bad), trunk::Refusal::kBadField) << "a baseline beyond the reach";
    bad = data;
    trunk::Store<uint16_t>(bad.data() + 8, 1);
    EXPECT_EQ(readData(bad), trunk::Refusal::kBadField) << "group 1 of 1";
    bad = data;
    bad[16] = 1;
    EXPECT_EQ(readData(bad), trunk::Refusal::kBadField) << "fragment 1 of 1";
    bad = data;
    trunk::Store<uint32_t>(bad.data() + 18, trunk::kMaxGroupBytes + 1);
    EXPECT_EQ(readData(bad), trunk::Refusal::kWrongLength);

    // Entries: a reference beyond the baseline, a length beyond a datagram, bytes left over.
    const std::vector<Bytes> baseline(2, Bytes(8, 0));
    std::vector<trunk::Entry> entries;
    Bytes raw;
    trunk::Append<uint16_t>(raw, 0);
    trunk::Append<uint32_t>(raw, 8 ^ 8);
    raw.resize(raw.size() + 8, 0);
    const auto readEntries = [&](const Bytes& r, int first) {
        return trunk::ReadEntries(r.data(), static_cast<int>(r.size()), 1, first, &baseline, 2, entries);
    };
    EXPECT_EQ(readEntries(raw, 1), trunk::Refusal::kNone);
    EXPECT_EQ(entries[0].reference, 1);
    EXPECT_EQ(readEntries(raw, 2), trunk::Refusal::kBadField) << "reference 2 of 2";
    Bytes longer = raw;
    trunk::Store<uint32_t>(longer.data() + 2, 0x00100000u ^ 8u);
    EXPECT_EQ(readEntries(longer, 1), trunk::Refusal::kBadField);
    longer = raw;
    longer.push_back(0);
    EXPECT_EQ(readEntries(longer, 1), trunk::Refusal::kWrongLength);
}

}  // namespace
