#include "program_runner.h"

#include <algorithm>

namespace orbalis::sim {

void ProgramRunner::start(double startValue)
{
    started_ = true;
    segment_ = 0;
    phase_ = Phase::Ramp;
    elapsed_ = 0;
    rampFrom_ = startValue;
    finalSetPoint_ = startValue;
    jumpsTaken_.fill(0);
}

void ProgramRunner::endSegment(const Segments &segments)
{
    const Segment &s = segments[std::size_t(segment_)];
    int next = -1;
    if (s.endAction >= 72 && s.endAction <= 79) {
        const int target = 7 - (s.endAction - 72);   // "To RT8" is the last segment
        if (s.jumps <= 0 || jumpsTaken_[std::size_t(segment_)] < s.jumps) {
            ++jumpsTaken_[std::size_t(segment_)];
            next = target;
        } else {
            jumpsTaken_[std::size_t(segment_)] = 0;   // ready for the next pass of an outer loop
            next = segment_ + 1;
        }
    } else if (s.endAction == 82) {
        next = segment_ + 1;
    }
    rampFrom_ = s.setPoint;
    finalSetPoint_ = s.setPoint;
    elapsed_ = 0;
    if (next < 0 || next > 7) {
        phase_ = Phase::Finished;   // "End", "Hold", past segment 8, or an unknown code
        return;
    }
    segment_ = next;
    phase_ = Phase::Ramp;
}

void ProgramRunner::step(double dt, const Segments &segments, double unitSeconds)
{
    if (!started_ || phase_ == Phase::Finished || unitSeconds <= 0)
        return;
    double left = dt / unitSeconds;
    // Segments of zero length pass at once; the bound stops a program of
    // endless zero-length jumps from holding the loop.
    for (int transitions = 0; transitions < 64 && phase_ != Phase::Finished; ++transitions) {
        const Segment &s = segments[std::size_t(segment_)];
        const double length = std::max(phase_ == Phase::Ramp ? s.rampTime : s.soakTime, 0.0);
        if (elapsed_ + left < length) {
            elapsed_ += left;
            return;
        }
        left -= length - elapsed_;
        elapsed_ = 0;
        if (phase_ == Phase::Ramp)
            phase_ = Phase::Soak;
        else
            endSegment(segments);
    }
}

double ProgramRunner::setPoint(const Segments &segments) const
{
    if (!started_ || phase_ == Phase::Finished)
        return finalSetPoint_;
    const Segment &s = segments[std::size_t(segment_)];
    if (phase_ == Phase::Soak || s.rampTime <= 0)
        return s.setPoint;
    const double fraction = std::clamp(elapsed_ / s.rampTime, 0.0, 1.0);
    return rampFrom_ + (s.setPoint - rampFrom_) * fraction;
}

double ProgramRunner::remaining(const Segments &segments) const
{
    if (!started_ || phase_ == Phase::Finished)
        return 0;
    const Segment &s = segments[std::size_t(segment_)];
    const double length = phase_ == Phase::Ramp ? s.rampTime : s.soakTime;
    return std::max(length - elapsed_, 0.0);
}

} // namespace orbalis::sim
