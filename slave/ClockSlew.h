// How fast the slave's clock runs, so that a small date offset from the
// master decays without a step.
//
// Setting the date moves every vessel in a step, and under jitter would move
// it back and forth; yet an offset left alone stays forever (a wall of
// displays then shows the same vessel at different places). So the slave
// runs its clock at the master's time acceleration times (1 + c), with c a
// small correction: proportional to the averaged offset, bounded by
// kMaxCorrection, and tuned so that the offset decays without overshooting
// (the average's time constant is a quarter of the settling time: a
// critically damped loop).
//
// Offsets are in seconds of simulation (master minus slave); times in
// seconds of the host's system clock.
#pragma once

class ClockSlew {
public:
    // The slave's rate never differs from the master's by more than this.
    static constexpr double kMaxCorrection = 0.01;
    // An offset of s seconds (at time acceleration 1) is removed at s / this
    // per second, until the bound holds it back.
    static constexpr double kSettleSeconds = 2.0;
    // Time constant of the offset's running average: long enough to smooth
    // the transit jitter of a busy LAN, short enough to keep the loop damped.
    static constexpr double kAverageSeconds = kSettleSeconds / 4.0;

    // An offset estimate taken at `now` under the master's time acceleration
    // `masterAccel`: the time acceleration the slave is to run at. A master
    // at 0 (stopped) is followed exactly, as is one whose value is no number.
    double Steer(double now, double offsetSeconds, double masterAccel);
    // The slave set its date by `offsetSeconds`: what was averaged so far was
    // measured against the old date.
    void DateMoved(double offsetSeconds);
    void Reset();

    double AverageOffset() const { return average_; }
    double Correction() const { return correction_; }

private:
    bool started_ = false;
    double lastTime_ = 0.0;
    double average_ = 0.0;
    double correction_ = 0.0;
};
