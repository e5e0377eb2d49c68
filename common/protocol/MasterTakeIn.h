// What a receiver of a master's messages takes in: each sequence number
// once; nothing of an update older than the newest one begun (a key event
// excepted: it is an event, and replayed however late); and a master that
// numbers afresh (it restarted) is followed once only old or known numbers
// have come for more than kRestartSilenceSeconds. The slave and the
// programs beside it (monitor, relay) judge by this one rule, and count
// loss by what it says. Host-free; times in seconds of any steady clock.
#pragma once

#include <cstdint>

#include "SequenceWindow.h"

class MasterTakeIn {
public:
    static constexpr double kRestartSilenceSeconds = 1.0;

    enum class Verdict {
        kFresh,      // new, of the newest update begun (or a key event): use it
        kLate,       // new, but of an update older than the newest begun: arrived, not to be used
        kDuplicate,  // seen before
        kTooOld,     // behind the window of numbers: cannot tell
    };
    struct Outcome {
        Verdict verdict = Verdict::kFresh;
        bool restarted = false;  // the master numbers afresh from this message on
        bool first = false;      // the first number of a numbering
        int64_t skipped = 0;     // numbers jumped over on the way to this newest one
        bool fillsGap = false;   // a new number behind the newest: one that counted as lost came
    };

    Outcome Take(int32_t seq, int32_t type, double now);
    void Reset();

private:
    SequenceWindow window_;
    double lastFreshTime_ = -1.0e300;
    bool updateBegun_ = false;
    int32_t newestStart_ = 0;
};
