// How a subscriber keeps its subscription to a master (or a relay): a Hello
// at once, and again whenever more than protocol::kHelloRenewalSeconds have
// passed since the last; an Ack for every update's end it takes in (a lone
// end also answers its first Hello, and its Ack confirms it). The slave and
// the programs beside it (monitor, relay) subscribe by this one rule.
// Host-free; times in seconds of any clock that does not go back (one that
// does says Hello at once).
#pragma once

#include <cstdint>

#include "ProtocolConstants.h"
#include "WireRecords.h"

class Subscription {
public:
    // `lastHelloSeconds`: when the last Hello was said; a subscriber that
    // has said none yet is due at once.
    Subscription() = default;
    explicit Subscription(double lastHelloSeconds) : said_(true), last_(lastHelloSeconds) {}

    bool HelloDue(double now) const { return !said_ || now < last_ || now - last_ > protocol::kHelloRenewalSeconds; }
    void HelloSaid(double now) {
        said_ = true;
        last_ = now;
    }
    // When the last Hello was said (the time given at construction before any).
    double LastHelloSeconds() const { return last_; }
    // When the next Hello falls due (a moment after the renewal time, since
    // it is due only once that has passed): for a loop's wait.
    double NextHelloSeconds() const { return said_ ? last_ + protocol::kHelloRenewalSeconds + 1e-3 : -1.0e300; }
    // After a message of the master taken in as fresh: is an Ack owed?
    static bool AckOwedFor(int32_t type) { return type == wire::kEnd; }

private:
    bool said_ = false;
    double last_ = 0.0;
};
