// A view that is drawn again and again: on a terminal redrawn in place at
// the refresh rate, anywhere else printed a frame a second, one after the
// other.
#pragma once

#include <string>

class LiveView {
public:
    explicit LiveView(double refreshHz);
    ~LiveView();
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    bool Terminal() const { return terminal_; }
    double NextFrame() const { return next_; }
    void Draw(const std::string& screen, double now);

private:
    bool terminal_;
    double period_;
    double next_ = 0.0;
};

// Seconds on the steady clock, the one time base of the programs' loops.
double SteadySeconds();
