#include "MasterTakeIn.h"

#include <cstring>

#include "WireRecords.h"

MasterTakeIn::Outcome MasterTakeIn::Screen(const Endpoint& master, const Endpoint& from, const uint8_t* datagram,
                                           int length) {
    Outcome outcome;
    if (from != master) {
        outcome.verdict = Verdict::kForeign;
        return outcome;
    }
    outcome.rejection = wire::CheckDatagram(datagram, length);
    if (outcome.rejection != wire::Rejection::kNone) outcome.verdict = Verdict::kNotMessage;
    return outcome;
}

MasterTakeIn::Outcome MasterTakeIn::Admit(const Endpoint& master, const Endpoint& from, const uint8_t* datagram,
                                          int length, double now) {
    const Outcome screened = Screen(master, from, datagram, length);
    if (screened.verdict != Verdict::kFresh) return screened;
    wire::Header header;
    std::memcpy(&header, datagram, sizeof header);
    return Take(header.seq, header.type, now);
}

MasterTakeIn::Outcome MasterTakeIn::Take(int32_t seq, int32_t type, double now) {
    Outcome outcome;
    outcome.seq = seq;
    bool wasEmpty = window_.empty();
    int32_t previousNewest = window_.newest();
    SequenceWindow::Verdict verdict = window_.Take(seq);
    bool late = verdict == SequenceWindow::Verdict::kNew && type != wire::kKeyboard && updateBegun_ &&
                SequenceAfter(newestStart_, seq);
    if (verdict != SequenceWindow::Verdict::kNew || late) {
        if (!(now - lastFreshTime_ > kRestartSilenceSeconds)) {
            if (verdict == SequenceWindow::Verdict::kDuplicate) {
                outcome.verdict = Verdict::kDuplicate;
                return outcome;
            }
            if (verdict == SequenceWindow::Verdict::kTooOld) {
                outcome.verdict = Verdict::kTooOld;
                return outcome;
            }
            outcome.verdict = Verdict::kLate;
        } else {
            // Only old numbers for that long: a master numbering afresh.
            Reset();
            outcome.restarted = true;
            wasEmpty = true;
            window_.Take(seq);
            late = false;
        }
    }
    if (wasEmpty) {
        outcome.first = true;
    } else if (SequenceAfter(seq, previousNewest)) {
        outcome.skipped = static_cast<int32_t>(static_cast<uint32_t>(seq) - static_cast<uint32_t>(previousNewest)) - 1;
    } else {
        outcome.fillsGap = true;
    }
    if (late) return outcome;
    lastFreshTime_ = now;
    if (type == wire::kStart && (!updateBegun_ || SequenceAfter(seq, newestStart_))) {
        updateBegun_ = true;
        newestStart_ = seq;
    }
    return outcome;
}

void MasterTakeIn::Reset() {
    window_.Reset();
    updateBegun_ = false;
    newestStart_ = 0;
}
