// The loop of a program beside the modules: it runs until Ctrl-C or
// SIGTERM (on Windows the console's Ctrl-C, Ctrl-Break or closing), or until
// its time is up, and redraws a live view when it has
// one. A stop request ends the loop at its next turn, so that the program
// still prints what it has.
#pragma once

#include <memory>
#include <string>

#include "LiveView.h"

class ProgramLoop {
public:
    // `seconds` 0: until stopped. `refreshHz` 0: no live view.
    ProgramLoop(double seconds, double refreshHz);

    double Start() const { return start_; }
    bool Running(double now) const;
    bool FrameDue(double now) const { return view_ && now >= view_->NextFrame(); }
    // Draws the live view, if there is one.
    void Draw(const std::string& screen, double now);
    // The earliest of `wanted`, the end and the next frame.
    double Wake(double wanted) const;

private:
    double start_;
    double end_;
    std::unique_ptr<LiveView> view_;
};
