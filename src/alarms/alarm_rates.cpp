#include "alarm_rates.h"

#include <algorithm>

namespace orbalis {

namespace {

// Drops the times that are `window` or more before now. A time after now
// (the clock was set back) stays until now passes it.
void forgetOlder(std::deque<qint64> &times, qint64 nowMs, qint64 window)
{
    std::erase_if(times, [&](qint64 t) { return nowMs - t >= window; });
}

} // namespace

void AlarmRates::activated(const AlarmKey &key, qint64 ms, bool announced)
{
    activations_[key].push_back(ms);
    if (announced)
        announced_.push_back(ms);
}

bool AlarmRates::update(qint64 nowMs)
{
    std::vector<AlarmKey> chattering;
    for (auto it = activations_.begin(); it != activations_.end();) {
        forgetOlder(it->second, nowMs, ChatteringWindowMs);
        if (it->second.empty()) {
            it = activations_.erase(it);
            continue;
        }
        if (int(it->second.size()) >= ChatteringActivations)
            chattering.push_back(it->first);
        ++it;
    }
    forgetOlder(announced_, nowMs, FloodWindowMs);
    const int newAlarms = int(announced_.size());
    const bool flooded = newAlarms >= FloodAlarms;
    // During a flood its count is stated too.
    const bool changed = chattering != chattering_ || flooded != flood() || (flooded && newAlarms != newAlarms_);
    chattering_ = std::move(chattering);
    newAlarms_ = newAlarms;
    return changed;
}

bool AlarmRates::chattering(const AlarmKey &key) const
{
    return std::binary_search(chattering_.begin(), chattering_.end(), key);
}

} // namespace orbalis
