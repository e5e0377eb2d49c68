// libFuzzer target of the trunk's far end: whatever arrives, sealed or in
// clear, genuine or altered, in any order, is either refused by the trunk's
// checks or restored into messages of a size the master could have sent;
// nothing is read outside what was received or kept.
//
// The input is a list of records: an operation byte, a length (u16) and
// that many bytes. 0: a data body as it is; 1: a genuine body of the
// encoder's (chosen by the first byte) with the record's bytes XOR-ed into
// it from the second byte's offset on; 2: a whole datagram through the
// clear header and an insecure end's opening.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "TrunkBytes.h"
#include "TrunkCheck.h"
#include "TrunkDecoder.h"
#include "TrunkEncoder.h"
#include "TrunkSeal.h"
#include "TrunkUpdates.h"
#include "WireRecords.h"

namespace {

using trunk::Bytes;

// Bodies of a few updates, each against the one before, with a text large
// enough to go in fragments.
const std::vector<Bytes>& GenuineBodies() {
    static const std::vector<Bytes> bodies = [] {
        std::vector<Bytes> out;
        trunk::TrunkEncoder encoder;
        trunktest::UpdateMaker maker(4, 2500);
        for (uint32_t u = 1; u <= 4; ++u) {
            for (const Bytes& message : maker.next()) encoder.Add(message.data(), static_cast<int>(message.size()));
            encoder.FinishUpdate(out);
            encoder.Confirm({u, 0});
        }
        return out;
    }();
    return bodies;
}

void Take(trunk::TrunkDecoder& decoder, const uint8_t* body, int length) {
    trunk::DataBody data;
    if (trunk::ReadData(body, length, data) != trunk::Refusal::kNone) return;
    if (decoder.Take(data) != trunk::TrunkDecoder::Outcome::kRestored) return;
    for (int i = 0; i < decoder.RestoredCount(); ++i) {
        const size_t size = decoder.Restored()[i].size();
        if (size < sizeof(wire::Header) || size > static_cast<size_t>(wire::kMaxDatagram)) std::abort();
    }
    trunk::AckBody ack;
    decoder.TakeAcknowledgement(ack);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<Bytes>& genuine = GenuineBodies();
    trunk::TrunkDecoder decoder;
    trunk::TrunkSeal insecure;
    insecure.UseNoKey();
    size_t at = 0;
    while (size - at >= 3) {
        const uint8_t operation = data[at] % 3;
        const size_t length = std::min<size_t>(trunk::Load<uint16_t>(data + at + 1), size - at - 3);
        const uint8_t* record = data + at + 3;
        at += 3 + length;
        if (operation == 0) {
            Take(decoder, record, static_cast<int>(length));
        } else if (operation == 1 && length >= 2) {
            Bytes body = genuine[record[0] % genuine.size()];
            for (size_t i = 2, to = record[1]; i < length && to < body.size(); ++i, ++to) body[to] ^= record[i];
            Take(decoder, body.data(), static_cast<int>(body.size()));
        } else if (operation == 2) {
            trunk::ClearHeader header;
            Bytes body;
            uint64_t echo = 0;
            if (trunk::ReadClearHeader(record, static_cast<int>(length), false, header) != trunk::Refusal::kNone ||
                !insecure.Open(record, static_cast<int>(length), header, body) ||
                trunk::ReadEcho(body.data(), static_cast<int>(body.size()), echo) != trunk::Refusal::kNone)
                continue;
            const uint8_t* rest = body.data() + trunk::kEchoSize;
            const int restLength = static_cast<int>(body.size()) - trunk::kEchoSize;
            trunk::AckBody ack;
            if (header.kind == trunk::Kind::kData) Take(decoder, rest, restLength);
            if (header.kind == trunk::Kind::kAck) trunk::ReadAck(rest, restLength, ack);
            if (header.kind == trunk::Kind::kKeys) trunk::ReadKeys(rest, restLength);
        }
    }
    return 0;
}
