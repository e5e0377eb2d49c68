// What a receiver of a master's messages takes in, judged cheapest first:
// the sender (the master, nobody else), then the bytes (a message of the
// protocol, by WireCheck), then the number: each sequence number once;
// nothing of an update older than the newest one begun (a key event
// excepted: it is an event, and replayed however late); and a master that
// numbers afresh (it restarted) is followed once only old or known numbers
// have come for more than kRestartSilenceSeconds. The slave and the
// programs beside it (monitor, relay) judge by this one rule, and count
// loss by what it says. Host-free; times in seconds of any steady clock.
#pragma once

#include <cstdint>

#include "Endpoint.h"
#include "SequenceWindow.h"
#include "WireCheck.h"

class MasterTakeIn {
public:
    static constexpr double kRestartSilenceSeconds = 1.0;

    enum class Verdict {
        kForeign,     // not from the master: not even read
        kNotMessage,  // from the master, but no message of the protocol (`rejection` says why)
        kFresh,       // new, of the newest update begun (or a key event): use it
        kLate,        // new, but of an update older than the newest begun: arrived, not to be used
        kDuplicate,   // seen before
        kTooOld,      // behind the window of numbers: cannot tell
    };
    struct Outcome {
        Verdict verdict = Verdict::kFresh;
        wire::Rejection rejection = wire::Rejection::kNone;  // for kNotMessage
        int32_t seq = 0;                                     // the message's number, once its bytes passed
        bool restarted = false;                              // the master numbers afresh from this message on
        bool first = false;                                  // the first number of a numbering
        int64_t skipped = 0;                                 // numbers jumped over on the way to this newest one
        bool fillsGap = false;  // a new number behind the newest: one that counted as lost came
    };

    // The whole judgement of one datagram from `from`; nothing of it is
    // built or applied here.
    Outcome Admit(const Endpoint& master, const Endpoint& from, const uint8_t* datagram, int length, double now);
    // The first two steps alone, which keep no state: kForeign, kNotMessage,
    // or kFresh for a message of the master's, still to be judged by number.
    static Outcome Screen(const Endpoint& master, const Endpoint& from, const uint8_t* datagram, int length);
    // The number alone, of a message that passed the screen.
    Outcome Take(int32_t seq, int32_t type, double now);
    void Reset();

private:
    SequenceWindow window_;
    double lastFreshTime_ = -1.0e300;
    bool updateBegun_ = false;
    int32_t newestStart_ = 0;
};
