// The trend against orbalis-sim over a real pseudo-terminal: the console
// polls, records slot 0, and the slot's trend window is opened by a double
// click on its digits. The simulator's traffic log, the record file and the
// trend's series must tell the same story, gaps included. Then saves that
// cannot be written.

#include "core/record_file_reader.h"
#include "core/trend_histories.h"
#include "trend/trend_plot.h"
#include "trend/trend_window.h"
#include "trend/trend_windows.h"

#include "console/main_window.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "link/frames.h"
#include "link/qt_serial_port.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/qt_app.h"
#include "support/replies.h"
#include "support/console_over_simulator.h"
#include "support/disk_full.h"
#include "support/simulator.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

using namespace orbalis;

namespace {

constexpr int TimeoutMs = 15000;

// A good live reply of the simulator, read straight from its bytes.
struct LoggedReply {
    QDateTime at;
    int id;
    std::int16_t pv, sv, outl;
    std::uint16_t status;
};

QList<LoggedReply> goodLiveReplies(const QString &logPath)
{
    QList<LoggedReply> out;
    for (const test::LoggedFrame &f : test::readTrafficLog(logPath)) {
        const QByteArray &b = f.bytes;
        if (f.request || b.size() != 65 || b[1] != 4 || quint8(b[2]) != 60 || !hasValidCrc(b))
            continue;
        auto reg = [&](int i) { return std::uint16_t(quint8(b[3 + 2 * i]) << 8 | quint8(b[4 + 2 * i])); };
        out << LoggedReply{f.at, quint8(b[0]), std::int16_t(reg(0)), std::int16_t(reg(1)), std::int16_t(reg(2)), reg(3)};
    }
    return out;
}

bool sameValues(const TrendSample &a, const TrendSample &b)
{
    return a.pv == b.pv && a.sv == b.sv && a.output == b.output && a.decimals() == b.decimals()
        && a.alarm1() == b.alarm1() && a.alarm2() == b.alarm2();
}

class TrendEndToEndTest : public test::ConsoleOverSimulator {
protected:
    void SetUp() override
    {
        ConsoleOverSimulator::SetUp();
        console.clock = &clock;
    }

    // Slot 0: controller 1 with two decimals; slot 5: controller 2 without.
    void start()
    {
        SettingsModel model = lineSettings();
        model.panel.IdText[0] = QStringLiteral("001");
        model.panel.IdText[5] = QStringLiteral("002");
        model.panel.NameText[0] = QStringLiteral("Kiln A");
        model.panel.NameText[5] = QStringLiteral("Dryer B");
        model.panel.DecimalText[0] = QStringLiteral("49");
        model.panel.DecimalText[5] = QStringLiteral("47");
        saveSettings(model);
        ASSERT_NO_FATAL_FAILURE(startSimulator(QStringLiteral("1-2")));
        ASSERT_NO_FATAL_FAILURE(openConsole());
        ASSERT_NO_FATAL_FAILURE(showConsole());
    }

    SlotPicture &picture(int slot) const { return *window->Pic_All().Pic_Control(slot); }
    const SlotHistory &history(int slot) const { return window->trends().histories().history(slot); }

    QString recordPath() const
    {
        return RecordFileReader(dir.path(), 1).path(clock.now().date());
    }

    Clock clock;   // the real time of day: the history is checked against the log's times
};

} // namespace

TEST_F(TrendEndToEndTest, SimulatorRecordFileAndTrendAgreeGapsIncluded)
{
    ASSERT_NO_FATAL_FAILURE(start());

    // Recording on by the pen, the trend open by a double click on the digits.
    SlotPicture &slot0 = picture(0);
    QTest::mouseClick(&slot0, Qt::LeftButton, {}, QPoint(5 * slot0.width() / 60, 5 * slot0.height() / 70));
    ASSERT_TRUE(console.slots.Record_Flag[0]);
    EXPECT_EQ(window->trends().window(0), nullptr);
    QTest::mouseDClick(&slot0, Qt::LeftButton, {}, QPoint(30 * slot0.width() / 60, 5 * slot0.height() / 70));
    EXPECT_EQ(window->trends().window(0), nullptr) << "the top row is not the digits";
    QTest::mouseDClick(&slot0, Qt::LeftButton, {}, QPoint(30 * slot0.width() / 60, 25 * slot0.height() / 70));
    TrendWindow *trend = window->trends().window(0);
    ASSERT_NE(trend, nullptr);
    EXPECT_TRUE(trend->isVisible());
    EXPECT_EQ(trend->windowTitle(), "Trend - Kiln A (ID 1)");
    EXPECT_TRUE(trend->followLiveBox()->isChecked());

    // "View", "Trend": the bound slots by name and ID.
    QMenu *view = nullptr;
    for (QAction *a : window->menuBar()->actions())
        if (a->text() == "View")
            view = a->menu();
    ASSERT_NE(view, nullptr);
    Q_EMIT view->aboutToShow();   // as when the user opens it
    QStringList captions;
    for (const QAction *a : view->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    ASSERT_EQ(captions, QStringList({"Trend", "Alarms", "-", "About Orbalis"}));
    QMenu *trendMenu = view->actions().first()->menu();
    ASSERT_NE(trendMenu, nullptr);
    EXPECT_EQ(view->actions().first()->text(), "Trend");
    QStringList entries;
    for (QAction *a : trendMenu->actions())
        entries << a->text();
    EXPECT_EQ(entries, QStringList({"Kiln A (ID 1)", "Dryer B (ID 2)"}));
    trendMenu->actions().last()->trigger();
    ASSERT_NE(window->trends().window(5), nullptr);
    EXPECT_EQ(window->trends().window(5)->windowTitle(), "Trend - Dryer B (ID 2)");

    // Polling, then a pause of the line (longer than three turns of 200 ms,
    // and than the record's whole-second stamps can hide), then polling again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return history(0).size() >= 12 && history(5).size() >= 5; }, TimeoutMs));
    window->Timer_Read().setEnabled(false);
    const qint64 pausedAt = clock.now().toMSecsSinceEpoch();
    QTest::qWait(3000);
    const qint64 resumedAt = clock.now().toMSecsSinceEpoch();
    // Following live, the view went on with the clock and the status says since when nothing came.
    EXPECT_GT(trend->plot().xAxis->range().upper, pausedAt / 1000.0 + 1.5);
    EXPECT_TRUE(trend->statusText().contains("no good reply since")) << trend->statusText().toStdString();
    const std::size_t beforePause = history(0).size();
    window->Timer_Read().setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return history(0).size() >= beforePause + 8; }, TimeoutMs));
    window->Timer_Read().setEnabled(false);
    QApplication::processEvents();

    // 1. Every sample of the history is a good reply of controller 1, in order.
    const SlotHistory &h = history(0);
    QList<LoggedReply> replies;
    for (const LoggedReply &r : goodLiveReplies(logPath))
        if (r.id == 1)
            replies << r;
    qsizetype next = 0;
    int breaks = 0;
    for (std::size_t i = 0; i < h.size(); ++i) {
        const TrendSample &s = h[i];
        const QDateTime stamped = QDateTime::fromMSecsSinceEpoch(s.timeMs);
        while (next < replies.size()
               && !(replies[next].pv == s.pv && replies[next].sv == s.sv && replies[next].outl == s.output
                    && alarmFlags(replies[next].status) == (s.flags & 3) && stamped >= replies[next].at.addMSecs(-5)
                    && stamped <= replies[next].at.addSecs(3)))
            ++next;
        ASSERT_LT(next, replies.size()) << "sample " << i << " is no reply of controller 1";
        ++next;
        EXPECT_EQ(s.decimals(), 2);
        if (s.breaksBefore()) {
            ++breaks;
            EXPECT_GT(s.timeMs - h[i - 1].timeMs, 3 * 200) << i;
        }
    }
    // The pause broke the line once; a busy machine may add others, never fewer.
    const auto afterPause = std::find_if(h.begin(), h.end(), [&](const TrendSample &s) { return s.timeMs >= resumedAt; });
    ASSERT_NE(afterPause, h.end());
    EXPECT_TRUE(afterPause->breaksBefore());
    EXPECT_LE((afterPause - 1)->timeMs, pausedAt + 150);

    // 2. The window plots exactly the history, a NaN point at each break.
    TrendPlot &plot = trend->plot();
    ASSERT_EQ(plot.pvGraph()->dataCount(), int(h.size()) + breaks);
    int k = 0, nans = 0;
    for (auto p = plot.pvGraph()->data()->constBegin(); p != plot.pvGraph()->data()->constEnd(); ++p) {
        if (std::isnan(p->value)) {
            ++nans;
            continue;
        }
        EXPECT_DOUBLE_EQ(p->key, h[std::size_t(k)].timeMs / 1000.0);
        EXPECT_DOUBLE_EQ(p->value, h[std::size_t(k)].pvValue());
        ++k;
    }
    EXPECT_EQ(nans, breaks);
    const TrendSample &last = h.newest();
    const QString description = plot.accessibleDescription();
    EXPECT_TRUE(description.contains("Kiln A (ID 1)")) << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("last PV %1, SV %2, output %3 %")
                                         .arg(last.pv / 100.0, 0, 'f', 2)
                                         .arg(last.sv / 100.0, 0, 'f', 2)
                                         .arg(last.output / 10.0, 0, 'f', 1)))
        << description.toStdString();

    // 3. The record file read back holds the same values as the history, to
    // the second, and breaks at the pause too.
    trend->fromDayEdit()->setDate(clock.now().date().addDays(-1));
    trend->toDayEdit()->setDate(clock.now().date());
    QTest::mouseClick(trend->loadButton(), Qt::LeftButton);
    ASSERT_EQ(trend->source(), TrendWindow::Source::RecordFiles);
    EXPECT_FALSE(trend->followLiveBox()->isChecked());
    const RecordLoad &load = trend->recordLoad();
    EXPECT_EQ(load.linesSkipped, 0);
    const int fileLines = int(test::readFile(recordPath()).count("\r\n")) - 1;
    ASSERT_GE(fileLines, 10);
    ASSERT_EQ(int(load.samples.size()), fileLines);
    std::size_t j = 0;
    int recordBreaks = 0;
    bool brokenAtPause = false;
    for (const TrendSample &r : load.samples) {
        while (j < h.size() && !(h[j].timeMs / 1000 == r.timeMs / 1000 && sameValues(h[j], r)))
            ++j;
        ASSERT_LT(j, h.size()) << "a record line that is not in the history";
        if (r.breaksBefore()) {
            // Only where the live line broke too (a busy machine may stall polling elsewhere).
            ++recordBreaks;
            EXPECT_TRUE(h[j].breaksBefore()) << "record break at " << r.timeMs;
            brokenAtPause = brokenAtPause || h[j].timeMs >= resumedAt;
        }
        ++j;
    }
    EXPECT_TRUE(brokenAtPause);
    EXPECT_EQ(plot.pvGraph()->dataCount(), int(load.samples.size()) + recordBreaks);
    EXPECT_TRUE(plot.accessibleDescription().startsWith("Recorded trend of Kiln A (ID 1)"))
        << plot.accessibleDescription().toStdString();

    // A line cut short and a foreign one are skipped and counted.
    QByteArray content = test::readFile(recordPath());
    ASSERT_TRUE(test::writeFile(recordPath(), content + "Total,,,\r\n" + content.mid(content.indexOf("\r\n") + 2, 30)));
    QTest::mouseClick(trend->loadButton(), Qt::LeftButton);
    EXPECT_EQ(trend->recordLoad().linesSkipped, 2);
    EXPECT_EQ(trend->recordLoad().samples.size(), load.samples.size());
    EXPECT_TRUE(trend->statusText().contains("2 lines skipped")) << trend->statusText().toStdString();

    // 4. The visible range saved as CSV: one row per sample in view.
    const QString csvPath = dir.filePath(QStringLiteral("visible.csv"));
    trend->chooseSaveFile = [&](const QString &, const QString &, const QString &) { return csvPath; };
    QTest::mouseClick(trend->csvButton(), Qt::LeftButton);
    const QList<QByteArray> rows = test::readFile(csvPath).split('\n');
    const auto dataRows = std::count_if(rows.begin() + 1, rows.end(), [](const QByteArray &r) { return r.size() > 2; });
    EXPECT_EQ(rows.first(), "Date,Time,PV,SV,Outl,Alarm 1,Alarm 2\r");
    EXPECT_EQ(dataRows, qsizetype(trend->recordLoad().samples.size()));

    // Back to live data: the history again, following it.
    trend->followLiveBox()->setChecked(true);
    EXPECT_EQ(trend->source(), TrendWindow::Source::Live);
    EXPECT_EQ(plot.pvGraph()->dataCount(), int(h.size()) + breaks);

    // Controls carry their captions for screen readers.
    EXPECT_EQ(trend->followLiveBox()->accessibleName(), "Follow live");
    EXPECT_EQ(trend->loadButton()->accessibleName(), "Load record files");
    EXPECT_EQ(trend->pngButton()->accessibleName(), "Save PNG");
    EXPECT_EQ(trend->csvButton()->accessibleName(), "Save CSV");
    EXPECT_EQ(trend->fromDayEdit()->accessibleName(), "From");
    EXPECT_EQ(trend->toDayEdit()->accessibleName(), "to");
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
}

// A save that cannot be written names the path and the reason through the
// error trap and leaves whatever had that name as it was.
TEST(TrendWindowSave, AFailedSaveSaysWhyAndLosesNothing)
{
    test::qtApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(12, 0))};
    Console console;
    console.programDir = dir.path();
    console.clock = &clock;
    console.settings.serial.Baud = QStringLiteral("19200");
    console.slots.SlotId[0] = 1;
    TrendHistories histories(console);
    for (int k = 0; k < 20; ++k) {
        clock.set(clock.now().addMSecs(100));
        histories.replyJudged(Exchange::Live, 0, 1, test::liveReply(1, {{4096, std::uint16_t(200 + k)}}),
                              LineOutcome::Good);
    }
    test::FakeReporter reporter;
    TrendWindow trend(console, histories, 0, reporter);
    histories.onAppended([&](int) { trend.liveSampleAdded(); });
    trend.resize(700, 400);
    trend.plot().xAxis->setRange(clock.now().toMSecsSinceEpoch() / 1000.0 - 60, clock.now().toMSecsSinceEpoch() / 1000.0 + 1);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.png")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    // Saved before, then saved again over on a full disk: small saves that
    // fit a write buffer whole, so only its flush meets the full disk.
    const QByteArray before = QByteArray("an earlier save\r\n").repeated(500);
    for (const char *name : {"old.png", "old.csv"})
        ASSERT_TRUE(test::writeFile(dir.filePath(QString::fromLatin1(name)), before));
    const struct {
        const char *name;
        bool png;
        bool saved;
        bool fullDisk = false;
    } cases[] = {
        {"no such folder/t.png", true, false},
        {"no such folder/t.csv", false, false},
        {"taken.png", true, false},   // a folder of that name
        {"taken.csv", false, false},
        {"old.png", true, false, true},
        {"old.csv", false, false, true},
        {"t.png", true, true},
        {"t.csv", false, true},
    };
    for (const auto &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        const bool existed = QFileInfo(path).isFile();
        reporter.messages.clear();
        bool saved;
        {
            std::optional<test::DiskFullAt> full;
            if (c.fullDisk)
                full.emplace(0);
            saved = c.png ? trend.savePng(path) : trend.saveCsv(path);
        }
        EXPECT_EQ(saved, c.saved) << c.name;
        EXPECT_EQ(QFileInfo(path).isFile(), c.saved || existed) << c.name;
        if (c.saved) {
            EXPECT_TRUE(reporter.messages.isEmpty()) << c.name;
            EXPECT_GT(QFileInfo(path).size(), 100) << c.name;
        } else {
            ASSERT_EQ(reporter.messages.size(), 1) << c.name;
            const std::string message = reporter.messages[0].toStdString();
            EXPECT_TRUE(reporter.messages[0].contains(path)) << message;
            EXPECT_TRUE(reporter.messages[0].contains(c.png ? "savePng" : "saveCsv")) << message;
            if (c.fullDisk) {
                EXPECT_TRUE(reporter.messages[0].contains("\r\nWrong code: 61\r\nWrong reasons: Disk full (")) << message;
                EXPECT_FALSE(reporter.messages[0].contains("canceled")) << message;
            }
            if (existed) {
                EXPECT_EQ(test::readFile(path), before) << c.name;
            }
        }
    }
    // Nothing left behind by the saves that failed.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"old.csv", "old.png", "t.csv", "t.png"}));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken.png"))).isDir());
    const QImage saved(dir.filePath(QStringLiteral("t.png")));
    EXPECT_EQ(saved.size(), trend.plot().size());
    // Twenty replies in view, one CSV row each after the header.
    EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("t.csv"))).count("\r\n"), 21);
}
