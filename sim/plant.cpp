#include "plant.h"

#include <algorithm>
#include <cmath>

namespace orbalis::sim {

Plant::Plant(Params params, std::uint32_t seed)
    : params_(params), temperature_(params.ambient), measured_(params.ambient), random_(seed),
      noise_(0.0, std::max(params.noise, 0.0))
{
}

void Plant::step(double dt, double outputPercent)
{
    if (!(dt > 0.0))
        return;
    outputPercent = std::clamp(outputPercent, 0.0, 100.0);

    // Dead time as a queue of past outputs, one per step.
    const auto delaySteps = std::size_t(std::max(0.0, std::round(params_.deadTime / dt)));
    delayed_.push_back(outputPercent);
    double acting = 0.0;
    if (delayed_.size() > delaySteps) {
        acting = delayed_.front();
        delayed_.pop_front();
    }

    // Exact step of the first-order lag, so large steps stay stable.
    const double target = params_.ambient + params_.gainPerPercent * acting;
    const double blend = 1.0 - std::exp(-dt / params_.timeConstant);
    temperature_ += (target - temperature_) * blend;
    measured_ = temperature_ + (params_.noise > 0.0 ? noise_(random_) : 0.0);
}

} // namespace orbalis::sim
