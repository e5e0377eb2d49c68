// What the relay does to the datagrams of one direction: loses some,
// duplicates some, holds some back longer than the rest, and delays all by a
// mean plus or minus a jitter. Only decisions live here (no sockets), so a
// seeded schedule can be checked on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SeededRandom.h"

namespace impair {

struct LinkSettings {
    double lossPercent = 0.0;
    double duplicatePercent = 0.0;
    double reorderPercent = 0.0;  // share held back by reorderExtraMs beyond its delay
    double reorderExtraMs = 0.0;
    double delayMs = 0.0;   // mean
    double jitterMs = 0.0;  // each delay is uniform in mean +/- jitter (never below 0)
};

// "loss=5,dup=30,reorder=10:40,delay=50:20" (any subset, any order; "none"
// for a clean link). Percentages 0..100, times 0..60000 ms.
bool ParseLinkSettings(const std::string& text, LinkSettings& settings, std::string& error);
std::string DescribeLinkSettings(const LinkSettings& settings);

struct LinkCounts {
    uint64_t received = 0;    // datagrams that entered this direction
    uint64_t dropped = 0;     // lost on purpose
    uint64_t duplicated = 0;  // extra copies made
    uint64_t reordered = 0;   // copies held back by the reordering delay
    uint64_t delayed = 0;     // copies given any delay at all
    uint64_t sent = 0;        // copies that left
    uint64_t overflow = 0;    // copies dropped because the relay's queue was full
    uint64_t unsent = 0;      // copies still waiting when the relay stopped
    uint64_t sendErrors = 0;  // copies the system refused to send
};

class LinkImpairment {
public:
    LinkImpairment(const LinkSettings& settings, uint64_t seed);

    // The times at which the copies of a datagram that arrived at `now`
    // leave: none when it is lost, two when it is duplicated. Counts it.
    std::vector<double> Schedule(double now);

    const LinkSettings& Settings() const { return settings_; }
    LinkCounts& Counts() { return counts_; }
    const LinkCounts& Counts() const { return counts_; }

private:
    double DelaySeconds();

    LinkSettings settings_;
    faulttools::SplitMix64 random_;
    LinkCounts counts_;
};

}  // namespace impair
