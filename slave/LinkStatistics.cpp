#include "LinkStatistics.h"

#include <cmath>

LinkStatistics ComputeLinkStatistics(int32_t firstSeq, int32_t lastSeq, int32_t lostCount, int32_t droppedCount,
                                     int32_t offsetCount, double delaySum, double delaySquareSum) {
    LinkStatistics s;
    if (firstSeq != -1) {
        // The span, not the count: the first message opens the interval.
        s.packets = static_cast<int32_t>(static_cast<uint32_t>(lastSeq) - static_cast<uint32_t>(firstSeq));
    }
    if (s.packets > 0) {
        s.lostPercent = 100.0 * lostCount / s.packets;
        s.droppedPercent = 100.0 * droppedCount / s.packets;
    }
    if (offsetCount > 0) {
        const double mean = delaySum / offsetCount;
        // Rounding can leave a tiny negative variance for equal offsets.
        const double variance = std::fmax(0.0, delaySquareSum / offsetCount - mean * mean);
        s.meanDelayMs = 1000.0 * mean;
        s.jitterMs = 1000.0 * std::sqrt(variance);
    }
    return s;
}
