// Which sequence numbers of one sender have been taken in already.
//
// UDP may deliver a datagram twice or late. The window remembers the newest
// number and which of the numbers just below it were seen, so a copy is
// recognised however late it comes within the window. Numbers wrap: "newer"
// means ahead by less than half the number range.
#pragma once

#include <bitset>
#include <cstdint>

class SequenceWindow {
public:
    // Room for the numbers of many updates of a large simulation.
    static constexpr int32_t kSpan = 4096;

    enum class Verdict {
        kNew,        // not seen before: taken in now
        kDuplicate,  // seen before
        kTooOld,     // behind the window: cannot tell, so not taken
    };

    Verdict Take(int32_t seq);
    // Forget everything: the sender started numbering afresh.
    void Reset();

    bool empty() const { return empty_; }
    int32_t newest() const { return newest_; }

private:
    bool empty_ = true;
    int32_t newest_ = 0;
    std::bitset<kSpan> seen_;  // bit (seq mod kSpan) for seq in (newest - kSpan, newest]
};

// Serial-number order: a is ahead of b by less than half the number range.
inline bool SequenceAfter(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)) > 0;
}
