#include "TrunkEncoder.h"

#include <cstring>

#include "MessageKey.h"
#include "Residual.h"
#include "TrunkBytes.h"

namespace trunk {
namespace {

// Groups are planned to fill this share of a datagram by the learnt ratio:
// a group that still comes out too large is split, which costs a compression.
constexpr double kPlannedFill = 0.85;

uint32_t NextNumber(uint32_t number) { return number + 1 == 0 ? 1 : number + 1; }

}  // namespace

TrunkEncoder::TrunkEncoder(int level) : codec_(level) {}

void TrunkEncoder::Add(const uint8_t* message, int length) {
    if (incoming_.size() <= static_cast<size_t>(gathered_)) incoming_.emplace_back();
    incoming_[gathered_].assign(message, message + length);
    ++gathered_;
}

const KeptUpdate* TrunkEncoder::Baseline(uint32_t number) const {
    if (confirmed_ == 0 || !After(number, confirmed_) || number - confirmed_ >= kBaselineReach) return nullptr;
    return sent_.Whole(confirmed_);
}

void TrunkEncoder::Keep(KeptUpdate& update) {
    update.keys.resize(update.count);
    update.byKey.clear();
    for (int i = 0; i < update.count; ++i) {
        const Bytes& message = update.messages[i];
        update.keys[i] = MessageKey(message.data(), static_cast<int>(message.size()));
        update.byKey.emplace(update.keys[i], static_cast<uint16_t>(i));
    }
}

void TrunkEncoder::ChooseReferences(const KeptUpdate& update, const KeptUpdate* base) {
    references_.assign(update.count, kNoReference);
    if (base == nullptr) return;
    for (int i = 0; i < update.count; ++i) {
        // Updates mostly repeat the last one's layout: the same place first.
        if (i < base->count && base->keys[i] == update.keys[i]) {
            references_[i] = static_cast<uint16_t>(i);
            continue;
        }
        const auto found = base->byKey.find(update.keys[i]);
        if (found != base->byKey.end()) references_[i] = found->second;
    }
}

void TrunkEncoder::PackGroup(const KeptUpdate& update, const KeptUpdate* base, int first, int count,
                             std::vector<Group>& groups) {
    const bool loose = &update == &loose_;
    raw_.clear();
    GroupContext context;
    for (int k = first; k < first + count; ++k) {
        const Bytes& message = update.messages[k];
        const uint16_t reference = references_[k];
        const uint8_t* old = reference != kNoReference ? base->messages[reference].data() : nullptr;
        const int oldLength = reference != kNoReference ? static_cast<int>(base->messages[reference].size()) : 0;
        const size_t at = raw_.size();
        raw_.resize(at + kEntryHeaderSize + message.size());
        // Fields relative to the likely: zero when the layout repeats (TrunkCheck reads them back).
        const uint16_t index = static_cast<uint16_t>(loose ? 0 : k);
        Store<uint16_t>(raw_.data() + at, reference == kNoReference ? kNoReference : reference ^ index);
        Store<uint32_t>(raw_.data() + at + 2, static_cast<uint32_t>(message.size()) ^ static_cast<uint32_t>(oldLength));
        MakeResidual(message.data(), static_cast<int>(message.size()), old, oldLength, context,
                     raw_.data() + at + kEntryHeaderSize);
    }
    Group group{first, count, static_cast<uint32_t>(raw_.size()), {}};
    if (!codec_.Compress(raw_.data(), raw_.size(), group.packed)) return;
    double& ratio = ratio_[base != nullptr ? 1 : 0];
    ratio = 0.8 * ratio + 0.2 * static_cast<double>(group.packed.size()) / static_cast<double>(raw_.size());
    if (group.packed.size() > static_cast<size_t>(kMaxChunk) && count > 1) {
        const int half = count / 2;
        PackGroup(update, base, first, half, groups);
        PackGroup(update, base, first + half, count - half, groups);
        return;
    }
    groups.push_back(std::move(group));
}

void TrunkEncoder::WriteBodies(uint32_t number, uint32_t baselineNumber, uint16_t groupCount,
                               const std::vector<Group>& groups, bool loose, std::vector<Bytes>& bodies) {
    for (size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        const size_t size = group.packed.size();
        const size_t fragments = (size + kMaxChunk - 1) / kMaxChunk;
        // Not even a largest message compresses that badly; such a group is not sent.
        if (fragments == 0 || fragments > static_cast<size_t>(kMaxFragments)) continue;
        for (size_t f = 0; f < fragments; ++f) {
            const size_t from = f * kMaxChunk;
            const size_t chunk = size - from < static_cast<size_t>(kMaxChunk) ? size - from : kMaxChunk;
            Bytes body;
            body.reserve(kDataHeaderSize + chunk);
            Append<uint32_t>(body, number);
            Append<uint32_t>(body, baselineNumber);
            Append<uint16_t>(body, loose ? 0 : static_cast<uint16_t>(g));
            Append<uint16_t>(body, loose ? 0 : groupCount);
            Append<uint16_t>(body, loose ? 0 : static_cast<uint16_t>(group.first));
            Append<uint16_t>(body, static_cast<uint16_t>(group.count));
            Append<uint8_t>(body, static_cast<uint8_t>(f));
            Append<uint8_t>(body, static_cast<uint8_t>(fragments));
            Append<uint32_t>(body, group.rawLength);
            body.insert(body.end(), group.packed.begin() + from, group.packed.begin() + from + chunk);
            figures_.encodedBytes += static_cast<int64_t>(body.size());
            bodies.push_back(std::move(body));
        }
    }
}

void TrunkEncoder::FinishUpdate(std::vector<Bytes>& bodies) {
    if (gathered_ == 0) return;
    const uint32_t number = NextNumber(last_);
    last_ = number;
    KeptUpdate& update = sent_.Slot(number);
    // The slot's old messages become the next gathering's buffers.
    update.messages.swap(incoming_);
    update.number = number;
    update.count = gathered_;
    update.whole = true;
    gathered_ = 0;
    Keep(update);
    for (int i = 0; i < update.count; ++i) figures_.rawBytes += static_cast<int64_t>(update.messages[i].size());

    const KeptUpdate* base = Baseline(number);
    ChooseReferences(update, base);
    groups_.clear();
    const double ratio = ratio_[base != nullptr ? 1 : 0];
    const double planned = kPlannedFill * kMaxChunk;
    int i = 0;
    while (i < update.count) {
        const int first = i;
        double estimate = 0.0;
        size_t raw = 0;
        do {
            const size_t size = update.messages[i].size() + kEntryHeaderSize;
            estimate += static_cast<double>(size) * ratio;
            raw += size;
            ++i;
        } while (i < update.count &&
                 estimate + static_cast<double>(update.messages[i].size() + kEntryHeaderSize) * ratio <= planned &&
                 raw + update.messages[i].size() + kEntryHeaderSize <= static_cast<size_t>(kMaxGroupBytes));
        PackGroup(update, base, first, i - first, groups_);
    }
    ++figures_.updates;
    if (base == nullptr) ++figures_.withoutBaseline;
    figures_.lastBaselineAge = base != nullptr ? number - confirmed_ : 0;
    WriteBodies(number, base != nullptr ? confirmed_ : 0, static_cast<uint16_t>(groups_.size()), groups_, false,
                bodies);
}

void TrunkEncoder::EncodeLoose(const uint8_t* message, int length, std::vector<Bytes>& bodies) {
    // Numbered as the update to come, which no baseline can be.
    const uint32_t number = NextNumber(last_);
    if (loose_.messages.empty()) loose_.messages.emplace_back();
    loose_.messages[0].assign(message, message + length);
    loose_.count = 1;
    Keep(loose_);
    figures_.rawBytes += length;
    const KeptUpdate* base = Baseline(number);
    ChooseReferences(loose_, base);
    groups_.clear();
    PackGroup(loose_, base, 0, 1, groups_);
    WriteBodies(number, base != nullptr ? confirmed_ : 0, 0, groups_, true, bodies);
}

void TrunkEncoder::Confirm(const AckBody& ack) {
    // Only what this end sent and still keeps can become a baseline.
    uint32_t newest = 0;
    for (uint32_t i = 0; i <= 32 && newest == 0; ++i) {
        const bool restored = i == 0 || (ack.earlier & (1u << (i - 1))) != 0;
        const uint32_t number = ack.newest - i;
        if (restored && number != 0 && sent_.Whole(number) != nullptr && !After(number, last_)) newest = number;
    }
    if (newest != 0 && (confirmed_ == 0 || After(newest, confirmed_))) confirmed_ = newest;
}

}  // namespace trunk
