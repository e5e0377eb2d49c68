// What happened to the relay, one line per event, stamped with the local
// date and time to the millisecond as the modules stamp their logs:
// subscriptions, time-outs, and summaries of refusals and rejections (at
// most one line a second each). Written to standard error, or kept for the
// live view when that has the terminal, or nowhere.
#pragma once

#include <deque>
#include <string>

class RelayEvents {
public:
    enum class Sink { kStandardError, kKept, kNone };
    // Lines the live view shows.
    static constexpr size_t kKept = 6;

    explicit RelayEvents(Sink sink = Sink::kStandardError) : sink_(sink) {}

    void Say(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const std::deque<std::string>& Recent() const { return recent_; }

private:
    Sink sink_;
    std::deque<std::string> recent_;
};
