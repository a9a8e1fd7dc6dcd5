#include "slot_history.h"

#include "gap_rule.h"

#include <algorithm>

namespace orbalis {

SlotHistory::SlotHistory(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void SlotHistory::append(TrendSample sample, qint64 pollPeriodMs)
{
    sample.setBreaksBefore(!samples_.empty()
                           && breaksLine(samples_.back().timeMs, sample.timeMs, pollPeriodMs));
    if (samples_.size() == capacity_)
        samples_.pop_front();
    samples_.push_back(sample);
    ++appended_;
}

void SlotHistory::clear()
{
    samples_.clear();
    samples_.shrink_to_fit();
    appended_ = 0;
    controllerId_ = 0;
}

} // namespace orbalis
