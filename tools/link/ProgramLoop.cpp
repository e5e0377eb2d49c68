#include "ProgramLoop.h"

#include <algorithm>

#include "ProgramPlatform.h"

ProgramLoop::ProgramLoop(double seconds, double refreshHz) : start_(SteadySeconds()) {
    CatchStopRequests();
    end_ = seconds > 0.0 ? start_ + seconds : 1.0e300;
    if (refreshHz > 0.0) view_ = std::make_unique<LiveView>(refreshHz);
}

bool ProgramLoop::Running(double now) const { return !StopRequested() && now < end_; }

void ProgramLoop::Draw(const std::string& screen, double now) {
    if (view_) view_->Draw(screen, now);
}

double ProgramLoop::Wake(double wanted) const {
    const double wake = std::min(end_, wanted);
    return view_ ? std::min(wake, view_->NextFrame()) : wake;
}
