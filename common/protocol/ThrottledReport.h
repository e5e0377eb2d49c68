// Counts events that must not each get a log line (a flood would fill the
// disk) and says when the next summary line is due: the first event at
// once, then at most one line per interval.
#pragma once

#include <cstdint>

class ThrottledReport {
public:
    explicit ThrottledReport(double interval = 1.0) : interval_(interval) {}

    // `address` and `port` in network byte order, as a socket address holds them.
    void Count(uint32_t address, uint16_t port, const char* reason = "") {
        ++count_;
        lastAddress_ = address;
        lastPort_ = port;
        lastReason_ = reason;
    }

    // True when something was counted and no line was written within the
    // interval before `now` (a clock that went back counts as long ago).
    bool Due(double now) const { return count_ > 0 && (now < lastLine_ || !(now - lastLine_ < interval_)); }

    // What the line reports; the count starts again from zero.
    struct Summary {
        int32_t count;
        uint32_t address;
        uint16_t port;
        const char* reason;
    };
    Summary Take(double now) {
        const Summary summary{count_, lastAddress_, lastPort_, lastReason_};
        count_ = 0;
        lastLine_ = now;
        return summary;
    }

private:
    double interval_;
    double lastLine_ = -1.0e300;  // long ago: the first event is reported at once
    int32_t count_ = 0;
    uint32_t lastAddress_ = 0;
    uint16_t lastPort_ = 0;
    const char* lastReason_ = "";
};

// Lets at most `perSecond` lines through in any one second (by the caller's
// clock); the caller counts the rest in a ThrottledReport.
class LineBudget {
public:
    explicit LineBudget(int32_t perSecond) : perSecond_(perSecond) {}

    bool Take(double now) {
        if (now < secondStart_ || !(now - secondStart_ < 1.0)) {
            secondStart_ = now;
            used_ = 0;
        }
        if (used_ >= perSecond_) return false;
        ++used_;
        return true;
    }

private:
    int32_t perSecond_;
    double secondStart_ = -1.0e300;
    int32_t used_ = 0;
};
