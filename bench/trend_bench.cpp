// The trend's costs on a day of one controller polled every 1.6 s (16 slots
// at 19200 baud: about 54 000 replies): reading the day's record file,
// redrawing three series after a zoom or pan, a live append with its
// repaint, and the memory of a slot's history.
//
// Wall times on a shared machine swing with the other jobs, so the redraw
// and append benchmarks also report the median thread CPU time per repaint.

#include "core/record_file_reader.h"
#include "core/slot_history.h"
#include "core/trend_histories.h"
#include "trend/trend_plot.h"
#include "trend/trend_series.h"
#include "trend/trend_window.h"

#include "core/record_format.h"
#include "model/display.h"
#include "state/console.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <malloc.h>
#include <numeric>
#include <random>
#include <vector>

using namespace orbalis;

namespace {

constexpr qint64 PeriodMs = 1600;
constexpr int DayReplies = 54000;
const QDate BenchDay(2024, 3, 3);

// A kiln's day: ramps and soaks of SV, PV lagging behind with noise, the
// output of a PI loop, alarm 1 on a deviation over 5, alarm 2 above 290, and
// six holes in the polling (10 s to 45 min).
std::vector<TrendSample> kilnDay()
{
    std::mt19937 noise(7);
    std::normal_distribution<double> jitter(0, 0.15);
    const std::map<int, int> holes{{7000, 6}, {15000, 40}, {23000, 190}, {31000, 750}, {39000, 80}, {47000, 1690}};
    std::vector<TrendSample> out;
    double pv = 25, integral = 0;
    qint64 t = QDateTime(BenchDay, QTime(0, 0, 0, 300)).toMSecsSinceEpoch();
    for (int k = 0; k < DayReplies; ++k) {
        if (auto h = holes.find(k); h != holes.end())
            t += h->second * PeriodMs;
        const double hour = double(k) * PeriodMs / 3.6e6;
        const double sv = hour < 4 ? 25 + 70 * hour : hour < 9 ? 305 : hour < 13 ? 305 - 60 * (hour - 9) : 65;
        const double error = sv - pv;
        integral = std::clamp(integral + error * 0.002, 0.0, 60.0);
        const double output = std::clamp(4.0 * error + integral, 0.0, 100.0);
        pv += (output * 3.4 + 25 - pv) * 0.004 + jitter(noise);
        TrendSample s;
        s.timeMs = t;
        s.pv = std::int16_t(std::lround(pv * 10));
        s.sv = std::int16_t(std::lround(sv * 10));
        s.output = std::int16_t(std::lround(output * 10));
        s.flags = std::uint8_t((std::abs(error) > 5 ? TrendSample::Alarm1 : 0) | (pv > 290 ? TrendSample::Alarm2 : 0)
                               | 1 << TrendSample::DecimalsShift);
        out.push_back(s);
        t += PeriodMs;
    }
    return out;
}

const std::vector<TrendSample> &day()
{
    static const std::vector<TrendSample> d = kilnDay();
    return d;
}

QByteArray replyOf(const TrendSample &s)
{
    return test::liveReply(1, {{4096, std::uint16_t(s.pv)}, {4097, std::uint16_t(s.sv)}, {4098, std::uint16_t(s.output)},
                               {4099, std::uint16_t(0x0100 | (s.flags & 3))}, {4100, 754}, {4106, 1200}, {4121, 300}});
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Wall and thread CPU time of each repaint; medians as counters.
struct Repaints {
    std::vector<double> wall, cpu;
    void report(benchmark::State &state) const
    {
        state.counters["median_ms"] = median(wall);
        state.counters["cpu_median_ms"] = median(cpu);
    }
};

void offscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::qtApp();
}

// range(0): 1 reads the file as the recorder wrote it.
void BM_LoadRecordDay(benchmark::State &state)
{
    QTemporaryDir dir;
    QByteArray content = recordHeader().toLatin1() + "\r\n";
    for (const TrendSample &s : day()) {
        test::RecordingSink boxes;
        DisplayTargets targets;
        targets.liveValues = &boxes;
        showLiveValues(replyOf(s), 48, targets);
        content += recordLine(QDateTime::fromMSecsSinceEpoch(s.timeMs).time(), boxes).toLatin1()
            + "\r\n";
    }
    QFile f(QDir(dir.path()).filePath(recordFileName(BenchDay, 1)));
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
        state.SkipWithError("cannot write the record file");
        return;
    }
    f.close();
    const RecordFileReader reader(dir.path(), 1);
    std::size_t lines = 0;
    for (auto _ : state) {
        const RecordLoad load = reader.load(BenchDay, BenchDay, PeriodMs);
        lines = load.samples.size();
        benchmark::DoNotOptimize(load.samples.data());
    }
    if (lines != day().size())
        state.SkipWithError("lines lost");
    state.counters["lines"] = double(lines);
    state.counters["MB"] = content.size() / 1e6;
}
BENCHMARK(BM_LoadRecordDay)->Unit(benchmark::kMillisecond)->Iterations(20);

// range(0): hours in view. Each repaint shows another range, as a wheel or a drag does.
void BM_RedrawAfterZoomPan(benchmark::State &state)
{
    offscreen();
    TrendSeriesBuilder builder;
    builder.addAll(day());
    TrendPlot plot;
    plot.resize(900, 500);
    plot.showSeries(builder.series(), builder.inTimeOrder());
    plot.setBands(builder.series().alarm1, builder.series().alarm2);
    plot.show();
    if (!QTest::qWaitForWindowExposed(&plot))
        state.SkipWithError("plot not shown");
    const double first = keyOf(day().front().timeMs), last = keyOf(day().back().timeMs);
    const double span = state.range(0) * 3600.0;
    plot.xAxis->setRange(first, last);
    plot.replot(QCustomPlot::rpImmediateRefresh);
    Repaints r;
    int k = 0;
    for (auto _ : state) {
        const double from = span >= last - first ? first - (k % 2) * 60.0 : first + std::fmod(k * 2713.0, last - first - span);
        ++k;
        plot.xAxis->setRange(from, from + span);
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuMs();
        plot.replot(QCustomPlot::rpImmediateRefresh);
        r.cpu.push_back(threadCpuMs() - cpu0);
        r.wall.push_back(wall.nsecsElapsed() / 1e6);
    }
    r.report(state);
    state.counters["points"] = 3.0 * double(day().size());
    state.counters["band_rects"] = plot.visibleBandRects();
}
BENCHMARK(BM_RedrawAfterZoomPan)->ArgName("hours")->Arg(24)->Arg(6)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(60);

// range(0): hours in view while following live. One reply of the slot goes
// the way the polling cycle reports it: the history, the window, the queued repaint.
void BM_LiveAppendRepaint(benchmark::State &state)
{
    offscreen();
    test::FixedClock clock{QDateTime(BenchDay, QTime(0, 0))};
    Console console;
    console.clock = &clock;
    console.settings.serial.Baud = QStringLiteral("19200");
    for (int k = 0; k < SlotCount; ++k)
        console.slots.SlotId[std::size_t(k)] = std::uint8_t(k + 1);
    console.slots.Slot_DP_Code[0] = 48;
    TrendHistories histories(console);
    for (const TrendSample &s : day()) {
        clock.set(QDateTime::fromMSecsSinceEpoch(s.timeMs));
        histories.replyJudged(Exchange::Live, 0, 1, replyOf(s), LineOutcome::Good);
    }
    test::FakeReporter reporter;
    TrendWindow window(console, histories, 0, reporter);
    histories.onAppended([&](int) { window.liveSampleAdded(); });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        state.SkipWithError("window not shown");
    const double newest = keyOf(day().back().timeMs);
    window.plot().xAxis->setRange(newest - state.range(0) * 3600.0, newest);
    QCoreApplication::processEvents();

    // The window repaints once the newest point has moved a pixel (or five
    // seconds): the appends that repaint are timed apart from the others.
    int replots = 0;
    QObject::connect(&window.plot(), &QCustomPlot::afterReplot, [&] { ++replots; });
    Repaints painted, all;
    std::size_t k = 0;
    for (auto _ : state) {
        const TrendSample &s = day()[k++ % day().size()];
        const QByteArray reply = replyOf(s);
        clock.set(clock.now().addMSecs(PeriodMs));
        const int before = replots;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuMs();
        histories.replyJudged(Exchange::Live, 0, 1, reply, LineOutcome::Good);
        QCoreApplication::processEvents();   // the queued replot and the repaint
        const double cpu = threadCpuMs() - cpu0, ms = wall.nsecsElapsed() / 1e6;
        all.cpu.push_back(cpu);
        all.wall.push_back(ms);
        if (replots > before) {
            painted.cpu.push_back(cpu);
            painted.wall.push_back(ms);
        }
    }
    painted.report(state);
    state.counters["repainted"] = double(painted.wall.size()) / double(all.wall.size());
    state.counters["cpu_mean_all_ms"] = std::accumulate(all.cpu.begin(), all.cpu.end(), 0.0) / double(all.cpu.size());
    if (!window.plot().followsLive())
        state.SkipWithError("the window stopped following");
}
BENCHMARK(BM_LiveAppendRepaint)->ArgName("hours")->Arg(1)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(300);

// Heap taken by one slot's live history: 24 hours at 1.6 s, and full.
void BM_HistoryMemory(benchmark::State &state)
{
    const std::size_t samples = state.range(0) == 0 ? day().size() : SlotHistory::DefaultCapacity;
    double bytes = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        auto history = std::make_unique<SlotHistory>();
        qint64 t = 0;
        for (std::size_t k = 0; k < samples; ++k) {
            TrendSample s = day()[k % day().size()];
            s.timeMs = t += PeriodMs;
            history->append(s, PeriodMs);
        }
        bytes = double(mallinfo2().uordblks - before);
        benchmark::DoNotOptimize(history.get());
    }
    state.counters["samples"] = double(samples);
    state.counters["MB"] = bytes / 1e6;
    state.counters["hours"] = double(samples) * PeriodMs / 3.6e6;
}
BENCHMARK(BM_HistoryMemory)->ArgName("full")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
