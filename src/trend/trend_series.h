#pragma once

#include "qcp_include.h"
#include "core/trend_sample.h"

#include <vector>

namespace orbalis {

// A lit alarm from..to, seconds since the epoch.
struct AlarmBand {
    double from;
    double to;
    friend bool operator==(const AlarmBand &, const AlarmBand &) = default;
};

// What the plot draws: PV, SV and output against time (seconds since the
// epoch), a NaN point wherever the line breaks, and the alarm bands.
struct TrendSeries {
    QVector<QCPGraphData> pv, sv, output;
    std::vector<AlarmBand> alarm1, alarm2;
};

// Turns samples, oldest first, into series; fed a whole history at once or
// one live sample at a time. An alarm band runs from its first lit sample to
// the first dark one after it (the lamp was lit until at least then), and
// stops at the last lit sample where the line breaks.
class TrendSeriesBuilder {
public:
    void add(const TrendSample &sample);
    template <class Range>
    void addAll(const Range &samples)
    {
        for (const TrendSample &s : samples)
            add(s);
    }

    TrendSeries &series() { return series_; }
    const TrendSeries &series() const { return series_; }
    // Hands the points over to the plot; the bands and the state that joins
    // the next sample to the last stay.
    void clearPoints();
    // Forgets the bands that end before `key`, as the history forgets its oldest samples.
    void removeBandsBefore(double key);
    // False once a sample came earlier than the one before it (the clock went back).
    bool inTimeOrder() const { return inTimeOrder_; }
    bool empty() const { return !hasLast_; }
    const TrendSample &last() const { return last_; }

private:
    TrendSeries series_;
    bool hasLast_ = false;
    TrendSample last_{};
    bool alarm1Open_ = false;
    bool alarm2Open_ = false;
    bool inTimeOrder_ = true;
};

// Keys are seconds since the epoch.
inline double keyOf(qint64 timeMs) { return double(timeMs) / 1000.0; }

} // namespace orbalis
