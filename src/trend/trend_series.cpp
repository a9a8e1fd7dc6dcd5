#include "trend_series.h"

#include <algorithm>
#include <limits>

namespace orbalis {

namespace {

void extendBand(std::vector<AlarmBand> &bands, bool &open, bool lit, double key, bool joined)
{
    open = open && !bands.empty();
    if (open && joined)
        bands.back().to = key;
    if (lit && !(open && joined))
        bands.push_back({key, key});
    open = lit;
}

} // namespace

void TrendSeriesBuilder::add(const TrendSample &sample)
{
    const double key = keyOf(sample.timeMs);
    const bool breaks = hasLast_ && sample.breaksBefore();
    if (breaks) {
        // QCPGraph leaves a gap at a NaN value instead of joining its neighbours.
        constexpr double Gap = std::numeric_limits<double>::quiet_NaN();
        const double between = (keyOf(last_.timeMs) + key) / 2;
        series_.pv.append({between, Gap});
        series_.sv.append({between, Gap});
        series_.output.append({between, Gap});
    }
    if (hasLast_ && sample.timeMs < last_.timeMs)
        inTimeOrder_ = false;
    series_.pv.append({key, sample.pvValue()});
    series_.sv.append({key, sample.svValue()});
    series_.output.append({key, sample.outputPercent()});
    const bool joined = hasLast_ && !breaks;
    extendBand(series_.alarm1, alarm1Open_, sample.alarm1(), key, joined);
    extendBand(series_.alarm2, alarm2Open_, sample.alarm2(), key, joined);
    hasLast_ = true;
    last_ = sample;
}

void TrendSeriesBuilder::removeBandsBefore(double key)
{
    for (auto *bands : {&series_.alarm1, &series_.alarm2}) {
        const auto firstKept = std::find_if(bands->begin(), bands->end(), [key](const AlarmBand &b) { return b.to >= key; });
        bands->erase(bands->begin(), firstKept);
    }
}

void TrendSeriesBuilder::clearPoints()
{
    series_.pv.clear();
    series_.sv.clear();
    series_.output.clear();
}

} // namespace orbalis
