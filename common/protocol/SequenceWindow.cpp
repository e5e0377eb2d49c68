#include "SequenceWindow.h"

namespace {

// How far `newer` is ahead of `older`, taking wrap-around into account.
int64_t Distance(int32_t newer, int32_t older) {
    return static_cast<int32_t>(static_cast<uint32_t>(newer) - static_cast<uint32_t>(older));
}

size_t Slot(uint32_t seq) { return seq % SequenceWindow::kSpan; }

}  // namespace

SequenceWindow::Verdict SequenceWindow::Take(int32_t seq) {
    if (empty_) {
        empty_ = false;
        newest_ = seq;
        seen_.reset();
        seen_.set(Slot(static_cast<uint32_t>(seq)));
        return Verdict::kNew;
    }
    const int64_t ahead = Distance(seq, newest_);
    if (ahead > 0) {
        // Slots that the window moves over belong to numbers not seen yet.
        if (ahead >= kSpan) {
            seen_.reset();
        } else {
            for (int64_t i = 1; i <= ahead; ++i)
                seen_.reset(Slot(static_cast<uint32_t>(newest_) + static_cast<uint32_t>(i)));
        }
        newest_ = seq;
        seen_.set(Slot(static_cast<uint32_t>(seq)));
        return Verdict::kNew;
    }
    if (-ahead >= kSpan) return Verdict::kTooOld;
    if (seen_.test(Slot(static_cast<uint32_t>(seq)))) return Verdict::kDuplicate;
    seen_.set(Slot(static_cast<uint32_t>(seq)));
    return Verdict::kNew;
}

void SequenceWindow::Reset() {
    empty_ = true;
    newest_ = 0;
    seen_.reset();
}
