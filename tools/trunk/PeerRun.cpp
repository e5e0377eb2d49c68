#include "PeerRun.h"

#include <algorithm>

namespace trunk {
namespace {

bool Bit(const std::vector<uint64_t>& bits, uint64_t counter) {
    const uint64_t at = counter % PeerRun::kWindow;
    return (bits[at / 64] >> (at % 64)) & 1u;
}

void SetBit(std::vector<uint64_t>& bits, uint64_t counter, bool on) {
    const uint64_t at = counter % PeerRun::kWindow;
    const uint64_t mask = uint64_t{1} << (at % 64);
    bits[at / 64] = on ? bits[at / 64] | mask : bits[at / 64] & ~mask;
}

}  // namespace

bool PeerRun::Retired(uint64_t run) const { return std::find(retired_.begin(), retired_.end(), run) != retired_.end(); }

bool PeerRun::Fresh(uint64_t counter) const {
    if (counter == 0) return false;
    if (newest_ == 0 || counter > newest_) return true;
    if (newest_ - counter >= kWindow) return false;
    return !Bit(seen_, counter);
}

void PeerRun::Take(uint64_t counter) {
    if (!Fresh(counter)) return;
    if (newest_ == 0 || counter > newest_) {
        // Counters the window moves past are forgotten: their bits are cleared.
        const uint64_t from =
            newest_ == 0 || counter - newest_ > kWindow ? counter - std::min(counter, kWindow) : newest_;
        for (uint64_t c = from + 1; c < counter; ++c) SetBit(seen_, c, false);
        newest_ = counter;
    }
    SetBit(seen_, counter, true);
}

void PeerRun::SwitchTo(uint64_t run) {
    if (run_ != 0) {
        retired_.push_back(run_);
        if (retired_.size() > kRetiredRuns) retired_.pop_front();
    }
    run_ = run;
    newest_ = 0;
    std::fill(seen_.begin(), seen_.end(), 0);
}

}  // namespace trunk
