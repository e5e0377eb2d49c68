// The figures of the slave's link statistics line, from the counters of one
// statistics interval.
#pragma once

#include <cstdint>

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
LinkStatistics ComputeLinkStatistics(int32_t firstSeq, int32_t lastSeq, int32_t lostCount, int32_t droppedCount,
                                     int32_t offsetCount, double delaySum, double delaySquareSum);
