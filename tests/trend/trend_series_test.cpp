// The series the trend plot draws from the samples: broken lines and the
// alarm bands.

#include "trend/trend_series.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

TrendSample at(qint64 ms, std::int16_t pv = 0, std::uint8_t flags = 0)
{
    TrendSample s;
    s.timeMs = ms;
    s.pv = pv;
    s.flags = flags;
    return s;
}

} // namespace

TEST(TrendSeries, BreaksTheLinesAndLightsTheBands)
{
    using B = AlarmBand;
    constexpr std::uint8_t A1 = TrendSample::Alarm1, A2 = TrendSample::Alarm2, Gap = TrendSample::BreaksBefore;
    const struct {
        const char *what;
        std::vector<std::uint8_t> flags; // one sample a second from t = 100 s
        std::vector<B> alarm1, alarm2;
        int gaps;
    } cases[] = {
        {"dark", {0, 0, 0}, {}, {}, 0},
        {"lit until the first dark reading", {0, A1, A1, 0, 0}, {{101, 103}}, {}, 0},
        {"lit to the end", {0, A1, A1 | A2, A2}, {{101, 103}}, {{102, 103}}, 0},
        {"a gap ends the band at the last lit reading", {A1, A1, A1 | Gap, A1}, {{100, 101}, {102, 103}}, {}, 1},
        {"one lit reading", {0, A2, 0}, {}, {{101, 102}}, 0},
        {"one lit reading before a gap", {0, A2, Gap, 0}, {}, {{101, 101}}, 1},
        {"two gaps", {0, Gap, 0, Gap, 0}, {}, {}, 2},
        {"a first sample marked as a break", {Gap | A1, 0}, {{100, 101}}, {}, 0},
    };
    for (const auto &c : cases) {
        TrendSeriesBuilder b;
        for (std::size_t k = 0; k < c.flags.size(); ++k)
            b.add(at(qint64(100 + k) * 1000, std::int16_t(10 * k), c.flags[k]));
        const TrendSeries &s = b.series();
        EXPECT_EQ(s.alarm1, c.alarm1) << c.what;
        EXPECT_EQ(s.alarm2, c.alarm2) << c.what;
        ASSERT_EQ(s.pv.size(), qsizetype(c.flags.size()) + c.gaps) << c.what;
        int nans = 0, k = 0;
        for (const QCPGraphData &p : s.pv) {
            if (std::isnan(p.value)) {
                ++nans;
                continue;
            }
            EXPECT_DOUBLE_EQ(p.key, 100.0 + k) << c.what;
            EXPECT_DOUBLE_EQ(p.value, 10.0 * k) << c.what;
            ++k;
        }
        EXPECT_EQ(nans, c.gaps) << c.what;
        EXPECT_EQ(s.sv.size(), s.pv.size());
        EXPECT_EQ(s.output.size(), s.pv.size());
        EXPECT_TRUE(b.inTimeOrder());
    }
    // Live, one sample at a time: the points go to the plot, the bands stay.
    TrendSeriesBuilder live;
    live.add(at(1000, 1, A1));
    live.clearPoints();
    live.add(at(2000, 2, A1));
    EXPECT_EQ(live.series().pv.size(), 1);
    EXPECT_EQ(live.series().alarm1, std::vector<B>({{1, 2}}));
    live.add(at(1500, 3));
    EXPECT_FALSE(live.inTimeOrder());
}
