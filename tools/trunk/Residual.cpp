#include "Residual.h"

#include <cstddef>
#include <cstring>

#include "WireRecords.h"

namespace trunk {
namespace {

constexpr int kSeqAt = offsetof(wire::Header, seq);
constexpr int kDateAt = 8;  // every dated record has its date right after the header
constexpr double kSecondsPerDay = 86400.0;

static_assert(offsetof(wire::StartRecord, mjd) == kDateAt, "dates after the header");
static_assert(offsetof(wire::VesselRecord, mjd) == kDateAt, "dates after the header");
static_assert(offsetof(wire::Vessel2Record, mjd) == kDateAt, "dates after the header");
static_assert(offsetof(wire::VesselStateRecord, mjd) == kDateAt, "dates after the header");

int32_t TypeOf(const uint8_t* message) {
    int32_t type;
    std::memcpy(&type, message, sizeof type);
    return type;
}

bool Dated(int32_t type, int length) {
    const bool kind =
        type == wire::kStart || type == wire::kVessel || type == wire::kVessel2 || type == wire::kVesselState;
    return kind && length >= kDateAt + 8;
}

// Where position and velocity lie in a vessel record of this type and length.
bool MotionFields(int32_t type, int length, int& position, int& velocity) {
    if (type == wire::kVessel && length == sizeof(wire::VesselRecord)) {
        position = offsetof(wire::VesselRecord, status) + offsetof(wire::VesselStatus, rpos);
        velocity = offsetof(wire::VesselRecord, status) + offsetof(wire::VesselStatus, rvel);
        return true;
    }
    if (type == wire::kVessel2 && length == sizeof(wire::Vessel2Record)) {
        position = offsetof(wire::Vessel2Record, status2) + offsetof(wire::VesselStatus2, rpos);
        velocity = offsetof(wire::Vessel2Record, status2) + offsetof(wire::VesselStatus2, rvel);
        return true;
    }
    return false;
}

uint64_t Bits(const uint8_t* at) {
    uint64_t bits;
    std::memcpy(&bits, at, sizeof bits);
    return bits;
}

double Number(const uint8_t* at) {
    double value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint64_t BitsOf(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void XorBits(uint8_t* out, const uint8_t* in, uint64_t predicted) {
    const uint64_t bits = Bits(in) ^ predicted;
    std::memcpy(out, &bits, sizeof bits);
}

int32_t PredictedSeq(const GroupContext& context, const uint8_t* base, int baseLength) {
    if (context.hasSeq) return static_cast<int32_t>(static_cast<uint32_t>(context.seq) + 1u);
    if (baseLength >= kDateAt) {
        int32_t seq;
        std::memcpy(&seq, base + kSeqAt, sizeof seq);
        return seq;
    }
    return 0;
}

// The date's prediction: the date of the message before (all of an update
// share one), or the baseline's. False when there is none.
bool PredictedDate(const GroupContext& context, const uint8_t* base, int baseLength, uint64_t& bits) {
    if (context.hasDate) {
        bits = BitsOf(context.mjd);
        return true;
    }
    if (baseLength > 0 && Dated(TypeOf(base), baseLength)) {
        bits = Bits(base + kDateAt);
        return true;
    }
    return false;
}

// Each coordinate from the baseline's, moved by the mean of the baseline's
// and this velocity over the date difference (exact for constant
// acceleration). `message` holds its final date and velocity.
void PredictedPosition(const uint8_t* message, const uint8_t* base, int position, int velocity, uint64_t bits[3]) {
    const double dt = (Number(message + kDateAt) - Number(base + kDateAt)) * kSecondsPerDay;
    for (int i = 0; i < 3; ++i) {
        const double meanSpeed = 0.5 * (Number(base + velocity + 8 * i) + Number(message + velocity + 8 * i));
        bits[i] = BitsOf(Number(base + position + 8 * i) + meanSpeed * dt);
    }
}

void XorWithBase(const uint8_t* in, int length, const uint8_t* base, int baseLength, uint8_t* out) {
    const int common = baseLength < length ? baseLength : length;
    for (int i = 0; i < common; ++i) out[i] = in[i] ^ base[i];
    if (common < length) std::memcpy(out + common, in + common, static_cast<size_t>(length - common));
}

// Scenario text: each line XOR-ed with the baseline's line of the same
// index (newline included), so that a number grown by a digit upsets its
// own line only. Line ends are found in the plain text as it goes, which
// the receiver has too, byte by byte.
void XorTextByLines(const uint8_t* in, int length, const uint8_t* base, int baseLength, uint8_t* out, bool restoring) {
    auto lineEnd = [&](int from) {
        const void* newline = from < baseLength ? std::memchr(base + from, '\n', baseLength - from) : nullptr;
        return newline != nullptr ? static_cast<int>(static_cast<const uint8_t*>(newline) - base) : baseLength;
    };
    int line = 0;  // start of the baseline's current line; baseLength when it has no more
    int end = lineEnd(0);
    int column = 0;
    for (int k = 0; k < length; ++k) {
        const int at = line + column;
        const uint8_t mask = at <= end && at < baseLength ? base[at] : 0;
        out[k] = in[k] ^ mask;
        const uint8_t plain = restoring ? out[k] : in[k];
        if (plain != '\n') {
            ++column;
            continue;
        }
        line = end < baseLength ? end + 1 : baseLength;
        end = lineEnd(line);
        column = 0;
    }
}

// The whole message against the baseline's: bytes at the same offsets,
// and a scenario text line by line.
void MaskWithBase(const uint8_t* in, int length, const uint8_t* base, int baseLength, uint8_t* out, bool restoring) {
    constexpr int kText = wire::kVesselStateFixedSize;
    const bool texts =
        length > kText && baseLength >= kText && TypeOf(base) == wire::kVesselState &&
        (restoring ? TypeOf(in) == 0 : TypeOf(in) == wire::kVesselState);  // a residual holds type XOR type
    if (!texts) {
        XorWithBase(in, length, base, baseLength, out);
        return;
    }
    XorWithBase(in, kText, base, kText, out);
    XorTextByLines(in + kText, length - kText, base + kText, baseLength - kText, out + kText, restoring);
}

void Remember(const uint8_t* message, int length, GroupContext& context) {
    std::memcpy(&context.seq, message + kSeqAt, sizeof context.seq);
    context.hasSeq = true;
    if (Dated(TypeOf(message), length)) {
        context.mjd = Number(message + kDateAt);
        context.hasDate = true;
    }
}

bool SameShape(const uint8_t* message, int length, const uint8_t* base, int baseLength) {
    return baseLength == length && TypeOf(base) == TypeOf(message);
}

// The date and the position, predicted from `message` (its type, velocity
// and number already in place) and `base`: `to` gets `from` XORed with the
// prediction. One way it makes a residual, the other way it restores.
void XorPredicted(const uint8_t* message, int length, const uint8_t* base, int baseLength, GroupContext& context,
                  const uint8_t* from, uint8_t* to) {
    const int32_t type = TypeOf(message);
    uint64_t predicted = 0;
    if (Dated(type, length) && PredictedDate(context, base, baseLength, predicted))
        XorBits(to + kDateAt, from + kDateAt, predicted);
    int position = 0, velocity = 0;
    if (MotionFields(type, length, position, velocity) && SameShape(message, length, base, baseLength)) {
        uint64_t bits[3];
        PredictedPosition(message, base, position, velocity, bits);
        for (int i = 0; i < 3; ++i) XorBits(to + position + 8 * i, from + position + 8 * i, bits[i]);
    }
}

}  // namespace

void MakeResidual(const uint8_t* message, int length, const uint8_t* base, int baseLength, GroupContext& context,
                  uint8_t* residual) {
    MaskWithBase(message, length, base, baseLength, residual, false);
    int32_t seq;
    std::memcpy(&seq, message + kSeqAt, sizeof seq);
    const int32_t difference = static_cast<int32_t>(static_cast<uint32_t>(seq) -
                                                    static_cast<uint32_t>(PredictedSeq(context, base, baseLength)));
    std::memcpy(residual + kSeqAt, &difference, sizeof difference);
    XorPredicted(message, length, base, baseLength, context, message, residual);
    Remember(message, length, context);
}

void RestoreMessage(const uint8_t* residual, int length, const uint8_t* base, int baseLength, GroupContext& context,
                    uint8_t* message) {
    // In the order the fields were predicted: the plain bytes first (type,
    // velocity), then the number, the date, and the position from them.
    MaskWithBase(residual, length, base, baseLength, message, true);
    int32_t difference;
    std::memcpy(&difference, residual + kSeqAt, sizeof difference);
    const int32_t seq = static_cast<int32_t>(static_cast<uint32_t>(difference) +
                                             static_cast<uint32_t>(PredictedSeq(context, base, baseLength)));
    std::memcpy(message + kSeqAt, &seq, sizeof seq);
    XorPredicted(message, length, base, baseLength, context, residual, message);
    Remember(message, length, context);
}

}  // namespace trunk
