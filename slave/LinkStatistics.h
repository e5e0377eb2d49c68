// The figures of the slave's link statistics line, from the counters of one
// statistics interval.
#pragma once

#include <cstdint>

// The counters of one statistics interval.
struct LinkCounters {
    int32_t firstSeq = -1;  // -1: nothing received in this interval
    int32_t lastSeq = 0;    // kept from one interval to the next
    int32_t lostCount = 0;
    int32_t droppedCount = 0;  // datagrams discarded by the backlog rule
    int32_t updateCount = 0;
    double delaySum = 0.0;        // s
    double delaySquareSum = 0.0;  // s^2
    int32_t offsetCount = 0;      // offsets summed into delaySum
    // Datagrams of the master not taken in: copies of a number already
    // taken, and messages of an update older than one begun; states
    // captured at a date we have not taken yet.
    int32_t duplicateCount = 0;
    int32_t staleCount = 0;
    int32_t aheadCount = 0;

    // A new interval: every count from zero; the last number stays.
    void StartInterval() {
        const int32_t last = lastSeq;
        *this = LinkCounters();
        lastSeq = last;
    }
};

struct LinkStatistics {
    int32_t packets = 0;  // numbering span of the interval's messages
    double lostPercent = 0.0;
    double droppedPercent = 0.0;
    double meanDelayMs = 0.0;
    double jitterMs = 0.0;  // standard deviation of the per-update offsets
};

// The delays are averaged over `offsetCount`, the number of offsets summed
// (one per StartMessage taken in). An interval without messages (firstSeq
// -1) or without offsets gives zeros for the figures that would divide by
// them, never nan or inf.
LinkStatistics ComputeLinkStatistics(const LinkCounters& counters);
