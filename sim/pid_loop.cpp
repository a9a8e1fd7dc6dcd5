#include "pid_loop.h"

#include <algorithm>
#include <cmath>

namespace orbalis::sim {

void PidLoop::reset(double pv)
{
    integralTerm_ = 0.0;
    filteredPv_ = pv;
    primed_ = true;
    relayOn_ = false;
    output_ = 0.0;
    terms_ = Terms{};
    terms_.pv0 = terms_.pv1 = terms_.pv2 = pv;
}

void PidLoop::track(double outputPercent, double pv)
{
    reset(pv);
    integralTerm_ = outputPercent;
    output_ = outputPercent;
}

double PidLoop::step(double sv, double pv, const Tuning &tuning, double dt)
{
    if (!primed_)
        reset(pv);
    const double low = std::min(tuning.outputLow, tuning.outputHigh);
    const double high = std::max(tuning.outputLow, tuning.outputHigh);
    const double error = tuning.reverse ? sv - pv : pv - sv;

    terms_.sv = sv;
    terms_.pv2 = terms_.pv1;
    terms_.pv1 = terms_.pv0;
    terms_.pv0 = pv;
    terms_.e2 = terms_.e1;
    terms_.e1 = terms_.e0;
    terms_.e0 = error;

    if (tuning.band <= 0.0) {
        // On/off: full output below the set point, off above it plus the hysteresis.
        if (error > 0.0)
            relayOn_ = true;
        else if (error < -std::max(tuning.onOffHysteresis, 0.0))
            relayOn_ = false;
        terms_.gain = 0.0;
        terms_.pOut = terms_.iOut = terms_.dOut = 0.0;
        output_ = relayOn_ ? high : low;
        return output_;
    }

    const double gain = 100.0 / tuning.band;
    terms_.gain = gain;
    const double p = gain * error;

    double d = 0.0;
    if (tuning.derivative > 0.0 && dt > 0.0) {
        // Derivative of a lightly filtered measurement keeps the noise out of the output.
        const double filterTime = std::max(tuning.derivative / 8.0, dt);
        const double previous = filteredPv_;
        filteredPv_ += (pv - filteredPv_) * (dt / (filterTime + dt));
        const double slope = (filteredPv_ - previous) / dt;
        d = -gain * tuning.derivative * (tuning.reverse ? slope : -slope);
    } else {
        filteredPv_ = pv;
    }

    double i = 0.0;
    if (tuning.integral > 0.0) {
        const double limit = std::max(tuning.antiReset, 0.0);
        const double candidate = integralTerm_ + gain * error * dt / tuning.integral;
        const double unclamped = p + candidate + d;
        // Hold the integral while the output is pinned and the error pushes further.
        const bool windsUp = (unclamped > high && error > 0.0) || (unclamped < low && error < 0.0);
        if (!windsUp)
            integralTerm_ = std::clamp(candidate, -limit, limit);
        i = integralTerm_;
    } else {
        integralTerm_ = 0.0;
        i = tuning.manualReset;
    }

    terms_.pOut = p;
    terms_.iOut = i;
    terms_.dOut = d;
    output_ = std::clamp(p + i + d, low, high);
    return output_;
}

} // namespace orbalis::sim
