// The trunk between two relays: what its datagrams hold. Every datagram is
// a clear header (authenticated, never encrypted) and a sealed body:
//
//   magic "HTRK" | version | kind (+ 0x80 when sealed) | body length (u16) | sender run (u64) | counter (u64)
//   body, encrypted, followed by its 16-byte tag (none on an insecure trunk)
//
// All integers little-endian. docs/protocol.md describes the bodies.
#pragma once

#include <cstdint>
#include <vector>

namespace trunk {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kMagic[4] = {'H', 'T', 'R', 'K'};
constexpr uint8_t kVersion = 1;

enum class Kind : uint8_t {
    kData = 1,   // near to far: messages of the master, encoded
    kHello = 2,  // far to near: subscribes, once a second
    kAck = 3,    // far to near: updates restored whole
    kKeys = 4,   // far to near: a KeyboardMessage of a client behind the far relay
};

// Set in the kind byte of a sealed datagram, so that an end with a key and
// one without tell each other's datagrams apart.
constexpr uint8_t kSealedBit = 0x80;
constexpr int kClearHeaderSize = 24;
constexpr int kTagSize = 16;
// Every body starts with the run of the peer it is meant for (zero while
// unknown): a datagram recorded in another run of the receiver is refused.
constexpr int kEchoSize = 8;
// Payload of one trunk datagram at most, header and tag included: below
// the smallest path MTU worth planning for on the internet.
constexpr int kMaxDatagram = 1200;
constexpr int kMaxBody = kMaxDatagram - kClearHeaderSize;

// A data body after the echo: update number, baseline update (0: none),
// group index and groups in the update (0: messages outside any update),
// index of the group's first message in the update and its message count,
// fragment index and count, the group's uncompressed length, then the
// compressed bytes (or this fragment's share of them).
constexpr int kDataHeaderSize = 4 + 4 + 2 + 2 + 2 + 2 + 1 + 1 + 4;
constexpr int kMaxChunk = kMaxBody - kTagSize - kEchoSize - kDataHeaderSize;

// Bounds that a receiver enforces on what the sender claims.
constexpr int kMaxMessagesPerUpdate = 16384;
constexpr int kMaxGroupBytes = 256 * 1024;  // uncompressed
constexpr int kMaxFragments = 255;
// An entry of the uncompressed group: baseline message (u16, kNoReference
// for none), message length (u32), the residual bytes.
constexpr int kEntryHeaderSize = 2 + 4;
constexpr uint16_t kNoReference = 0xFFFF;

// Updates that both ends keep, by number modulo this: a sender refers to a
// baseline only while it is fewer than kBaselineReach updates old.
constexpr uint32_t kKeptUpdates = 64;
constexpr uint32_t kBaselineReach = 48;

struct ClearHeader {
    Kind kind = Kind::kData;
    uint16_t bodyLength = 0;  // sealed body with its tag
    uint64_t run = 0;
    uint64_t counter = 0;
};

struct DataBody {
    uint32_t update = 0;
    uint32_t baseline = 0;
    uint16_t group = 0;
    uint16_t groups = 0;
    uint16_t firstMessage = 0;
    uint16_t messages = 0;
    uint8_t fragment = 0;
    uint8_t fragments = 1;
    uint32_t rawLength = 0;
    const uint8_t* chunk = nullptr;
    int chunkLength = 0;
};

struct AckBody {
    uint32_t newest = 0;   // an update restored whole
    uint32_t earlier = 0;  // bit i: update newest - 1 - i restored whole too
};

}  // namespace trunk
