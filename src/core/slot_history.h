#pragma once

#include "trend_sample.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace orbalis {

// The live history of one slot: the newest good replies, oldest dropped first
// once the capacity is reached. The default capacity (4 MiB of samples) holds
// 24 h for any poll period of 0.33 s or more: 16 slots at 19200 baud poll
// each every 1.6 s, which gives 4.8 days.
class SlotHistory {
public:
    static constexpr std::size_t DefaultCapacity = std::size_t(1) << 18;

    explicit SlotHistory(std::size_t capacity = DefaultCapacity);

    // Adds the newest sample. The line breaks before it when the previous one
    // is more than three poll periods older (or the clock went back).
    void append(TrendSample sample, qint64 pollPeriodMs);
    // Forgets every sample (the slot now shows another controller).
    void clear();

    std::size_t size() const { return samples_.size(); }
    bool empty() const { return samples_.empty(); }
    std::size_t capacity() const { return capacity_; }
    const TrendSample &operator[](std::size_t i) const { return samples_[i]; }
    const TrendSample &newest() const { return samples_.back(); }
    const TrendSample &oldest() const { return samples_.front(); }
    // Samples ever appended since the last clear: a reader that remembers
    // this count finds what is new (the last `appended() - seen` samples).
    std::uint64_t appended() const { return appended_; }

    // The controller whose replies these are; 0 before the first.
    int controllerId() const { return controllerId_; }
    void setControllerId(int id) { controllerId_ = id; }

    auto begin() const { return samples_.begin(); }
    auto end() const { return samples_.end(); }

private:
    std::deque<TrendSample> samples_;
    std::size_t capacity_;
    std::uint64_t appended_ = 0;
    int controllerId_ = 0;
};

} // namespace orbalis
