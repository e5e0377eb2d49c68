#include "LinkStatistics.h"

#include <cmath>

LinkStatistics ComputeLinkStatistics(const LinkCounters& c) {
    LinkStatistics s;
    if (c.firstSeq != -1) {
        // The span, not the count: the first message opens the interval.
        s.packets = static_cast<int32_t>(static_cast<uint32_t>(c.lastSeq) - static_cast<uint32_t>(c.firstSeq));
    }
    if (s.packets > 0) {
        s.lostPercent = 100.0 * c.lostCount / s.packets;
        s.droppedPercent = 100.0 * c.droppedCount / s.packets;
    }
    if (c.offsetCount > 0) {
        const double mean = c.delaySum / c.offsetCount;
        // Rounding can leave a tiny negative variance for equal offsets.
        const double variance = std::fmax(0.0, c.delaySquareSum / c.offsetCount - mean * mean);
        s.meanDelayMs = 1000.0 * mean;
        s.jitterMs = 1000.0 * std::sqrt(variance);
    }
    return s;
}
