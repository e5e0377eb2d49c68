#include "TrunkDecoder.h"

#include "Residual.h"

namespace trunk {
namespace {

// Groups in fragments waiting for the rest at once; the oldest gives way.
constexpr size_t kPartials = 4;

}  // namespace

TrunkDecoder::TrunkDecoder() : codec_(1), partials_(kPartials) {}

void TrunkDecoder::Reset() {
    kept_.Clear();
    for (Partial& partial : partials_) partial.update = 0;
    newestWhole_ = 0;
    acknowledge_ = false;
}

const Bytes* TrunkDecoder::Gather(const DataBody& data) {
    Partial* partial = nullptr;
    for (Partial& p : partials_) {
        if (p.update == data.update && p.group == data.group && p.fragments == data.fragments) partial = &p;
    }
    if (partial == nullptr) {
        partial = &partials_[nextPartial_];
        nextPartial_ = (nextPartial_ + 1) % partials_.size();
        partial->update = data.update;
        partial->group = data.group;
        partial->fragments = data.fragments;
        partial->received = 0;
        partial->chunks.assign(data.fragments, Bytes());
    }
    Bytes& chunk = partial->chunks[data.fragment];
    if (!chunk.empty()) return nullptr;  // a copy
    chunk.assign(data.chunk, data.chunk + data.chunkLength);
    if (++partial->received < partial->fragments) return nullptr;
    whole_.clear();
    for (const Bytes& piece : partial->chunks) whole_.insert(whole_.end(), piece.begin(), piece.end());
    partial->update = 0;
    return &whole_;
}

TrunkDecoder::Outcome TrunkDecoder::Take(const DataBody& data) {
    restoredCount_ = 0;
    if (data.fragments == 1) return Restore(data, data.chunk, static_cast<size_t>(data.chunkLength));
    const Bytes* packed = Gather(data);
    if (packed == nullptr) return Outcome::kFragment;
    return Restore(data, packed->data(), packed->size());
}

TrunkDecoder::Outcome TrunkDecoder::Restore(const DataBody& data, const uint8_t* packed, size_t length) {
    const KeptUpdate* base = nullptr;
    if (data.baseline != 0) {
        base = kept_.Whole(data.baseline);
        if (base == nullptr) return Outcome::kNoBaseline;
    }
    if (!codec_.Expand(packed, length, data.rawLength, raw_)) return Outcome::kCorrupt;
    if (ReadEntries(raw_.data(), static_cast<int>(raw_.size()), data.messages, data.firstMessage,
                    base != nullptr ? &base->messages : nullptr, base != nullptr ? base->count : 0,
                    entries_) != Refusal::kNone)
        return Outcome::kCorrupt;
    if (restored_.size() < entries_.size()) restored_.resize(entries_.size());
    GroupContext context;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        const Bytes* old = entry.reference != kNoReference ? &base->messages[entry.reference] : nullptr;
        restored_[i].resize(entry.length);
        RestoreMessage(entry.residual, entry.length, old != nullptr ? old->data() : nullptr,
                       old != nullptr ? static_cast<int>(old->size()) : 0, context, restored_[i].data());
    }
    restoredCount_ = static_cast<int>(entries_.size());
    if (data.groups != 0) Keep(data);
    return Outcome::kRestored;
}

void TrunkDecoder::Keep(const DataBody& data) {
    KeptUpdate& update = kept_.Slot(data.update);
    if (update.number != data.update) {
        // A slot holds the newest of its numbers; a group of an older one is only passed on.
        if (update.number != 0 && After(update.number, data.update)) return;
        update.number = data.update;
        update.whole = false;
        update.count = 0;
        update.groupsSeen.assign(data.groups, false);
        update.groupsMissing = data.groups;
    }
    if (update.whole || update.groupsSeen.size() != data.groups || update.groupsSeen[data.group]) return;
    update.groupsSeen[data.group] = true;
    --update.groupsMissing;
    const int end = data.firstMessage + data.messages;
    if (static_cast<int>(update.messages.size()) < end) update.messages.resize(end);
    if (update.count < end) update.count = end;
    for (int i = 0; i < restoredCount_; ++i)
        update.messages[data.firstMessage + i].assign(restored_[i].begin(), restored_[i].end());
    if (update.groupsMissing > 0) return;
    update.whole = true;
    ++wholeUpdates_;
    if (newestWhole_ == 0 || After(update.number, newestWhole_)) newestWhole_ = update.number;
    acknowledge_ = true;
}

bool TrunkDecoder::TakeAcknowledgement(AckBody& ack) {
    if (!acknowledge_) return false;
    acknowledge_ = false;
    ack.newest = newestWhole_;
    ack.earlier = 0;
    for (uint32_t i = 1; i <= 32; ++i) {
        if (kept_.Whole(newestWhole_ - i) != nullptr) ack.earlier |= 1u << (i - 1);
    }
    return true;
}

}  // namespace trunk
