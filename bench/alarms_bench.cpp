// The alarms and their journal:
//   BM_ChangeToCommittedRow   a change of state of an alarm (a reply whose
//                             lamp changed) until its row is committed on the
//                             disk, in a journal in use (after 500 changes);
//                             median and 90th percentile, and what the
//                             polling tick itself pays (the change and the
//                             row handed to the writer's thread).
//   BM_WindowOpens            the "Alarms" window opened to shown on a
//                             journal of 1 000 000 rows (a busy year).
//   BM_FilterByControllerAndDay  the journal view narrowed to one
//                             controller and one day, rows shown.
// The journals go to a temporary folder; ORBALIS_BENCH_DIR names another
// (the disk the console will run on).

#include "alarms/alarm_journal.h"
#include "alarms/alarm_panel.h"
#include "alarms/alarm_test_support.h"
#include "alarms/alarms_window.h"
#include "alarms/journal_model.h"
#include "alarms/panel_alarms.h"
#include "journal/journal_writer.h"
#include "support/qt_app.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

using namespace orbalis;
using namespace std::chrono_literals;

namespace {

constexpr int JournalRows = 1'000'000;
constexpr int WarmUpChanges = 500;
// The rows cover a year, from 1 January 2024.
const qint64 YearStart = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
constexpr qint64 Year = 366LL * 24 * 3600 * 1000;

void needQt()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::qtApp();
}

QString benchFolder(QTemporaryDir &fallback)
{
    const QString chosen = qEnvironmentVariable("ORBALIS_BENCH_DIR");
    return chosen.isEmpty() ? fallback.path() : chosen;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

void BM_ChangeToCommittedRow(benchmark::State &state)
{
    needQt();
    QTemporaryDir tmp;
    QDir(benchFolder(tmp)).remove(journalFileName());
    test::TrackedConsole t{{0, 1}};
    JournalWriter writer(journalPath(benchFolder(tmp)));
    writer.addTable(alarmEventsTable());
    AlarmJournal journal(writer);
    t.tracker->addObserver(&journal);
    writer.start();
    // A journal in use: its write-ahead log has grown to its size and been
    // checkpointed, so commits write over it instead of growing the file.
    int n = 0;
    for (; n < WarmUpChanges; ++n) {
        t.pollStatus(0, n % 2 == 0 ? 0x0001 : 0x0000);
        writer.flush(10s);
    }
    std::vector<double> latencies, handed;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        t.pollStatus(0, n++ % 2 == 0 ? 0x0001 : 0x0000);
        const auto given = std::chrono::steady_clock::now();
        writer.flush(10s);
        const auto done = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(done - start).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1000);
        handed.push_back(std::chrono::duration<double, std::micro>(given - start).count());
    }
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p90_ms"] = percentile(latencies, 0.9);
    state.counters["tick_us"] = percentile(handed, 0.5);
    QDir(benchFolder(tmp)).remove(journalFileName());
}

// One journal of a busy year for the window's benchmarks, made once: 16
// controllers, every kind of alarm and change, comments now and then.
struct BusyYear {
    BusyYear()
    {
        needQt();
        path = journalPath(benchFolder(tmp));
        if (QFileInfo(path).size() > 0 && rowsIn() == JournalRows)
            return;
        QFile::remove(path);
        const QString connection = QStringLiteral("bench-writer");
        {
            const JournalOpening opening =
                openJournal(connection, path, {alarmEventsTable()}, QDateTime::currentDateTime());
            if (!opening.open)
                qFatal("cannot make the journal: %s", qPrintable(opening.failure->description()));
            QSqlDatabase db = QSqlDatabase::database(connection);
            QSqlQuery q(db);
            db.transaction();
            q.prepare(alarmEventsTable().insertStatement());
            std::mt19937 random(1);
            const char *changes[] = {"activated", "returned", "acknowledged", "activated", "acknowledged", "returned"};
            for (int i = 0; i < JournalRows; ++i) {
                const int id = 1 + int(random() % 16);
                const AlarmKind kind = AllAlarmKinds[random() % (AlarmKindCount - 1)];
                const QVariantList values{YearStart + qint64(i) * (Year / JournalRows),
                                          id,
                                          id,
                                          QStringLiteral("Oven%1").arg(id),
                                          alarmName(kind),
                                          QString::fromLatin1(changes[i % 6]),
                                          QString::number(20.0 + i % 1000 / 10.0, 'f', 1),
                                          QStringLiteral("100.0"),
                                          i % 50 == 0 ? QStringLiteral("checked by the night shift") : QVariant(),
                                          QStringLiteral("operator"),
                                          QVariant()};
                for (int c = 0; c < values.size(); ++c)
                    q.bindValue(c, values[c]);
                q.exec();
            }
            db.commit();
            QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        closeJournalConnection(connection);
    }
    qint64 rowsIn() const
    {
        const QString connection = QStringLiteral("bench-count");
        qint64 n = 0;
        if (openJournalReader(connection, path)) {
            QSqlQuery q(QSqlDatabase::database(connection));
            if (q.exec(QStringLiteral("SELECT max(id) FROM alarm_events")) && q.next())
                n = q.value(0).toLongLong();
        }
        closeJournalConnection(connection);
        return n;
    }
    QTemporaryDir tmp;
    QString path;
};

BusyYear &busyYear()
{
    static BusyYear year;
    return year;
}

class NoPanel : public AlarmPanel {
public:
    QWidget *alarmSlotWidget(int) const override { return nullptr; }
    void showAlarmFrame(int, const QColor &) override {}
    void setAlarmNote(int, const QString &) override {}
};

// The window's surroundings: a console, its tracker and sound, and a writer
// (not started) that names the journal.
struct WindowSetup {
    WindowSetup() : writer(busyYear().path) {}
    test::TrackedConsole t{{0, 1}, {1, 2}, {2, 3}};
    NoPanel panel;
    test::FakeReporter reporter;
    PanelAlarms sound{t.console, *t.tracker, panel, reporter};
    JournalWriter writer;
};

void waitShown(QWidget &w)
{
    w.show();
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QApplication::processEvents();
    QApplication::processEvents();
}

void BM_WindowOpens(benchmark::State &state)
{
    busyYear();
    WindowSetup s;
    s.t.pollStatus(0, 0x0003);
    for (auto _ : state) {
        auto window = std::make_unique<AlarmsWindow>(s.t.console, *s.t.tracker, s.sound, s.writer, s.reporter);
        waitShown(*window);
        if (window->journalModel().rowCount() != JournalModel::PageRows)
            state.SkipWithError("the journal shows no rows");
        state.PauseTiming();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["journal_rows"] = double(busyYear().rowsIn());
    state.counters["bytes_per_row"] = double(QFileInfo(busyYear().path).size()) / JournalRows;
}

void BM_FilterByControllerAndDay(benchmark::State &state)
{
    busyYear();
    WindowSetup s;
    AlarmsWindow window(s.t.console, *s.t.tracker, s.sound, s.writer, s.reporter);
    waitShown(window);
    window.fromBox()->blockSignals(true);
    window.toBox()->blockSignals(true);
    window.fromBox()->setChecked(true);
    window.toBox()->setChecked(true);
    int n = 0;
    std::int64_t shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int id = 1 + n % 16;
        const QDate day = QDate(2024, 1, 1).addDays(17 * n++ % 365);
        window.controllerBox()->setCurrentIndex(window.controllerBox()->findData(id));
        window.fromEdit()->setDateTime(QDateTime(day, QTime(0, 0)));
        window.toEdit()->setDateTime(QDateTime(day.addDays(1), QTime(0, 0)));
        QApplication::processEvents();
        state.ResumeTiming();
        window.applyFilter();
        window.journalView()->viewport()->repaint();
        shown += window.journalModel().rowCount();
    }
    state.counters["rows_shown"] = benchmark::Counter(double(shown), benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(BM_ChangeToCommittedRow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_WindowOpens)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_FilterByControllerAndDay)->Unit(benchmark::kMillisecond)->Iterations(40);

BENCHMARK_MAIN();
