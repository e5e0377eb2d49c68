// The link as the sequence numbers and update boundaries of one master show
// it to one client: loss, copies, reordering, the updates' rate, size and
// spacing. Only messages that passed the receive checks are counted here.
#pragma once

#include <cstdint>
#include <deque>

#include "MasterTakeIn.h"

// Figures of the recent past (rates, sizes, spacing: the last kRecentSeconds)
// and totals since the first message.
struct LinkFigures {
    // Recent
    double updatesPerSecond = 0.0;
    double datagramsPerUpdate = 0.0;
    double bytesPerUpdate = 0.0;
    double spacingMs = 0.0;  // mean time between the starts of updates
    double jitterMs = 0.0;   // standard deviation of that time
    // Totals
    int64_t datagrams = 0;  // messages taken in, copies included
    int64_t bytes = 0;
    int64_t updates = 0;            // updates whose end arrived
    int64_t incompleteUpdates = 0;  // of those, updates with a number missing
    int64_t lost = 0;               // numbers never seen (a late arrival fills its gap)
    int64_t duplicates = 0;
    int64_t reordered = 0;  // new numbers that arrived after a higher one
    int64_t tooOld = 0;     // numbers so far behind that they cannot be judged
    int64_t restarts = 0;   // times the master began numbering afresh
    double lostPercent = 0.0;
    double secondsSinceLastMessage = -1.0;  // -1 before the first
};

class LinkTally {
public:
    static constexpr double kRecentSeconds = 2.0;

    enum class Verdict {
        kFresh,      // new, of the newest update begun (or a key event): use it
        kLate,       // new, but of an update older than the newest begun
        kDuplicate,  // seen before
        kTooOld,     // behind the window of numbers
    };

    // One message of the master that passed the receive checks; `now` in
    // seconds on a steady clock.
    Verdict Take(int32_t seq, int32_t type, int length, double now);

    LinkFigures Figures(double now) const;

private:
    struct Update {
        double end;  // arrival time of its EndMessage
        bool sized;  // its StartMessage arrived, so its size is known
        int32_t datagrams;
        int64_t bytes;
    };
    struct Spacing {
        double at;
        double seconds;
    };

    void CountNumber(const MasterTakeIn::Outcome& taken);
    void CountUpdate(int32_t seq, int32_t type, int length, double now);
    void ForgetBefore(double now);

    MasterTakeIn takeIn_;
    double firstMessageTime_ = -1.0;
    double lastMessageTime_ = -1.0;

    // The update now arriving (from its StartMessage on).
    bool open_ = false;
    int32_t openStartSeq_ = 0;
    int32_t openDatagrams_ = 0;
    int64_t openBytes_ = 0;
    double lastStartTime_ = -1.0;

    LinkFigures totals_;
    int64_t numbersSpanned_ = 0;  // distinct numbers the numbering has covered
    std::deque<Update> recentUpdates_;
    std::deque<Spacing> recentSpacings_;
};
