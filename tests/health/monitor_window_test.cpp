// The "Line Monitor": its two models under QAbstractItemModelTester while
// frames come, go and are filtered, and the window's controls.

#include "health/counters_model.h"
#include "core/line_counters.h"
#include "health/line_monitor_window.h"
#include "health/traffic_model.h"
#include "core/traffic_ring.h"
#include "core/traffic_text.h"
#include "support/manual_clock.h"

#include "state/console.h"
#include "support/accessibility.h"
#include "support/disk_full.h"
#include "support/files.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMultiMap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace orbalis;
using namespace orbalis::test;

namespace {

using Tester = QAbstractItemModelTester;

void exchange(LineObserver &o, int id, LineOutcome outcome = LineOutcome::Good)
{
    o.requestSent(Exchange::Live, 0, std::uint8_t(id), liveRequest(id));
    o.replyJudged(Exchange::Live, 0, std::uint8_t(id), outcome == LineOutcome::Good ? liveReply(id) : QByteArray(),
                  outcome);
}

QString cell(const QAbstractItemModel &m, int row, int column)
{
    return m.data(m.index(row, column)).toString();
}

// The ID column of every row, top to bottom.
QStringList ids(const TrafficModel &m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << cell(m, r, TrafficModel::IdColumn);
    return out;
}

} // namespace

TEST(CountersModel, OneRowPerBoundSlotWithItsControllersCounters)
{
    qtApp();
    Console console;
    console.slots.SlotId[0] = 1;
    console.slots.SlotId[5] = 2;
    console.slots.SlotId[15] = 3;
    console.settings.panel.NameText[5] = QStringLiteral(" Kiln ");
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters(&port, clock.fn());
    CountersModel model(console, counters);
    Tester tester(&model, Tester::FailureReportingMode::Fatal);

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), CountersModel::ColumnCount);
    EXPECT_EQ(model.headerData(CountersModel::NoAnswerColumn, Qt::Horizontal).toString(), "No answer");
    EXPECT_EQ(cell(model, 1, CountersModel::SlotColumn), "6");
    EXPECT_EQ(cell(model, 1, CountersModel::IdColumn), "2");
    EXPECT_EQ(cell(model, 1, CountersModel::NameColumn), "Kiln");
    EXPECT_EQ(cell(model, 1, CountersModel::HealthColumn), "not polled");

    // Exactly the cells whose text changed are announced, so the view
    // redraws those and not the zeros and names around them.
    const auto texts = [&] {
        QMap<QPair<int, int>, QString> t;
        for (int r = 0; r < model.rowCount(); ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                t[{r, c}] = cell(model, r, c);
        return t;
    };
    const auto before = texts();
    for (int i = 0; i < 3; ++i)
        exchange(counters, 2);
    replyAfter(port, clock, std::chrono::milliseconds(47));
    exchange(counters, 2);
    exchange(counters, 2, LineOutcome::NoAnswer);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.refresh();
    const auto after = texts();
    QSet<QPair<int, int>> announced, differing;
    for (const QList<QVariant> &signal : changed) {
        const auto from = signal[0].toModelIndex(), to = signal[1].toModelIndex();
        for (int r = from.row(); r <= to.row(); ++r)
            for (int c = from.column(); c <= to.column(); ++c)
                announced.insert({r, c});
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value())
            differing.insert(it.key());
    EXPECT_EQ(announced, differing);
    EXPECT_FALSE(differing.contains({1, CountersModel::CrcErrorColumn}));
    EXPECT_EQ(cell(model, 1, CountersModel::SentColumn), "5");
    EXPECT_EQ(cell(model, 1, CountersModel::GoodColumn), "4");
    EXPECT_EQ(cell(model, 1, CountersModel::NoAnswerColumn), "1");
    EXPECT_EQ(cell(model, 1, CountersModel::AnsweredColumn), "80.0 %");
    EXPECT_EQ(cell(model, 1, CountersModel::ReplyLastColumn), "47 ms");
    EXPECT_EQ(cell(model, 1, CountersModel::HealthColumn), "amber");
    EXPECT_TRUE(model.data(model.index(1, CountersModel::HealthColumn), Qt::DecorationRole).canConvert<QColor>());
    EXPECT_EQ(cell(model, 0, CountersModel::SentColumn), "0");
    EXPECT_EQ(cell(model, 0, CountersModel::AnsweredColumn), "");

    // Rebinding changes the rows; the counters stay with the controller.
    console.slots.SlotId[0] = 0;
    console.slots.SlotId[9] = 2;
    model.refresh();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(cell(model, 0, CountersModel::SlotColumn), "6");
    EXPECT_EQ(cell(model, 1, CountersModel::SlotColumn), "10");
    EXPECT_EQ(cell(model, 1, CountersModel::SentColumn), "5");

    counters.reset();
    model.refresh();
    EXPECT_EQ(cell(model, 0, CountersModel::SentColumn), "0");
    // The health of the polls outlives a reset.
    EXPECT_EQ(cell(model, 0, CountersModel::HealthColumn), "amber");
}

TEST(TrafficModel, FollowsTheRingThroughDropsFiltersPausesAndClears)
{
    qtApp();
    TrafficRing ring(nullptr, 8);
    TrafficModel model(ring);
    Tester tester(&model, Tester::FailureReportingMode::Fatal);

    struct Step {
        const char *what;
        std::function<void()> act;
        QStringList rows;   // the ID column afterwards
    };
    const std::vector<Step> steps = {
        {"two exchanges", [&] { exchange(ring, 1); exchange(ring, 2); model.refresh(); }, {"1", "1", "2", "2"}},
        {"the ring drops the oldest", [&] { exchange(ring, 3); exchange(ring, 4); exchange(ring, 5);
                                            model.refresh(); },
         {"2", "2", "3", "3", "4", "4", "5", "5"}},
        {"one controller only", [&] { model.setFilter(4); }, {"4", "4"}},
        {"new frames of others are not shown", [&] { exchange(ring, 6); exchange(ring, 4); model.refresh(); },
         {"4", "4", "4", "4"}},
        {"all again", [&] { model.setFilter(TrafficModel::AllControllers); },
         {"4", "4", "5", "5", "6", "6", "4", "4"}},
        {"paused: what is shown stays", [&] { model.setPaused(true); exchange(ring, 7); model.refresh(); },
         {"4", "4", "5", "5", "6", "6", "4", "4"}},
        {"paused while the ring goes round", [&] { for (int i = 0; i < 6; ++i) exchange(ring, 8); model.refresh(); },
         {"4", "4", "5", "5", "6", "6", "4", "4"}},
        {"resumed: the ring's frames", [&] { model.setPaused(false); },
         {"8", "8", "8", "8", "8", "8", "8", "8"}},
        {"cleared", [&] { model.clear(); }, {}},
        {"after a clear", [&] { exchange(ring, 9); model.refresh(); }, {"9", "9"}},
        {"a refresh without news", [&] { model.refresh(); }, {"9", "9"}},
        {"more than the ring holds between two looks", [&] { for (int i = 0; i < 5; ++i) exchange(ring, 10 + i);
                                                            model.refresh(); },
         {"11", "11", "12", "12", "13", "13", "14", "14"}},
        {"dropped before the next look: blank, never another frame", [&] { exchange(ring, 15); },
         {"", "", "12", "12", "13", "13", "14", "14"}},
        {"the next look takes their rows away", [&] { model.refresh(); },
         {"12", "12", "13", "13", "14", "14", "15", "15"}},
        {"paused as the ring drops: those rows go, the rest stay", [&] { exchange(ring, 16); model.setPaused(true);
                                                                         exchange(ring, 17); model.refresh(); },
         {"13", "13", "14", "14", "15", "15"}},
        {"filtered while paused: from what was held", [&] { model.setFilter(14); }, {"14", "14"}},
        {"resumed with the filter", [&] { model.setPaused(false); }, {"14", "14"}},
        {"and following", [&] { model.setFilter(TrafficModel::AllControllers); },
         {"14", "14", "15", "15", "16", "16", "17", "17"}},
    };
    for (const Step &s : steps) {
        s.act();
        EXPECT_EQ(ids(model), s.rows) << s.what;
    }
    EXPECT_TRUE(ring.size() == 8);

    const int last = model.rowCount() - 1;
    EXPECT_EQ(cell(model, last, TrafficModel::DirectionColumn), "RX");
    EXPECT_EQ(cell(model, last, TrafficModel::ExchangeColumn), "live values");
    EXPECT_EQ(cell(model, last, TrafficModel::FunctionColumn), "04");
    EXPECT_EQ(cell(model, last, TrafficModel::OutcomeColumn), "Good");
    EXPECT_EQ(cell(model, last, TrafficModel::BytesColumn), bytesText(liveReply(17)));
    EXPECT_EQ(cell(model, last - 1, TrafficModel::BytesColumn), bytesText(liveRequest(17)));
    EXPECT_TRUE(bytesText(liveRequest(17)).startsWith("11 04 10 00 00 1E "));
    EXPECT_EQ(cell(model, last, TrafficModel::TimeColumn).size(), 12);

    // Garbage longer than a frame keeps shows that it was cut.
    ring.replyJudged(Exchange::Live, 0, 17, QByteArray(300, '\x55'), LineOutcome::CrcError);
    model.refresh();
    EXPECT_EQ(cell(model, model.rowCount() - 1, TrafficModel::BytesColumn),
              QStringLiteral("(300 bytes, first 256 kept) ") + bytesText(QByteArray(256, '\x55'))
                  + QStringLiteral(" \u2026"));
}

class MonitorWindowTest : public ::testing::Test {
protected:
    MonitorWindowTest()
    {
        console.programDir = dir.path();
        console.slots.SlotId[0] = 3;
        console.slots.SlotId[1] = 1;
        window.show();
    }
    QApplication &app = qtApp();   // before any widget
    QTemporaryDir dir;
    Console console;
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters{&port, clock.fn()};
    TrafficRing ring{&port, 100};
    FakeReporter reporter;
    LineMonitorWindow window{console, counters, ring, reporter};
};

TEST_F(MonitorWindowTest, ControlsCarryTheirCaptionsAndDoWhatTheySay)
{
    EXPECT_EQ(window.windowTitle(), "Line Monitor");
    // What a screen reader finds: each control by its caption.
    const QMultiMap<QString, QAccessible::Role> found = test::accessibleNames(&window);
    // A top-level widget reads as a client area; a button that stays down, as a check box.
    const std::pair<const char *, QList<QAccessible::Role>> controls[] = {
        {"Line Monitor", {QAccessible::Window, QAccessible::Client}},
        {"Reset", {QAccessible::Button}},
        {"Pause", {QAccessible::Button, QAccessible::CheckBox}},
        {"Clear", {QAccessible::Button}},
        {"Save...", {QAccessible::Button}},
        {"Controller", {QAccessible::ComboBox}},
        {"Counters", {QAccessible::Table}},
        {"Traffic", {QAccessible::Table}},
    };
    for (const auto &[name, roles] : controls)
        EXPECT_TRUE(std::ranges::any_of(
            roles, [&](QAccessible::Role r) { return hasAccessible(found, QString::fromUtf8(name), {r}); }))
            << name;
    EXPECT_EQ(window.countersView()->model(), &window.countersModel());
    EXPECT_EQ(window.trafficView()->model(), &window.trafficModel());
    QStringList choices;
    for (int i = 0; i < window.controllerFilter()->count(); ++i)
        choices << window.controllerFilter()->itemText(i);
    EXPECT_EQ(choices, (QStringList{"All controllers", "ID 1", "ID 3"}));

    for (int i = 0; i < 4; ++i) {
        exchange(counters, 3);
        exchange(ring, 3);
        exchange(counters, 1, LineOutcome::NoAnswer);
        exchange(ring, 1, LineOutcome::NoAnswer);
    }
    window.refresh();
    EXPECT_EQ(window.trafficModel().rowCount(), 16);
    EXPECT_EQ(cell(window.countersModel(), 0, CountersModel::GoodColumn), "4");

    QTest::mouseClick(window.pauseButton(), Qt::LeftButton);
    EXPECT_TRUE(window.trafficModel().paused());
    exchange(ring, 3);
    window.refresh();
    EXPECT_EQ(window.trafficModel().rowCount(), 16);
    QTest::mouseClick(window.pauseButton(), Qt::LeftButton);
    EXPECT_EQ(window.trafficModel().rowCount(), 18);

    window.controllerFilter()->setCurrentIndex(1);
    Q_EMIT window.controllerFilter()->activated(1);
    EXPECT_EQ(window.trafficModel().filter(), 1);
    EXPECT_EQ(window.trafficModel().rowCount(), 8);

    QTest::mouseClick(window.resetButton(), Qt::LeftButton);
    EXPECT_EQ(counters.of(3).sent, 0u);
    EXPECT_EQ(cell(window.countersModel(), 0, CountersModel::GoodColumn), "0");

    QTest::mouseClick(window.clearButton(), Qt::LeftButton);
    EXPECT_EQ(window.trafficModel().rowCount(), 0);
    EXPECT_EQ(ring.size(), 0u);
}

TEST_F(MonitorWindowTest, ThePublishersLineShowsItsStateOnlyWhereThereIsOne)
{
    EXPECT_FALSE(window.publisherLine()->isVisible());
    QString state = QStringLiteral("off");
    window.setPublisherState([&] { return state; });
    EXPECT_TRUE(window.publisherLine()->isVisible());
    EXPECT_EQ(window.publisherLine()->text(), "MQTT: off");
    // Refreshed with the counters.
    state = QStringLiteral("connected to localhost:1883 · 12 messages dropped · 0 waiting");
    window.refresh();
    EXPECT_EQ(window.publisherLine()->text(), "MQTT: " + state);
    EXPECT_TRUE(hasAccessible(test::accessibleNames(&window), "MQTT: " + state, {QAccessible::StaticText}));
    window.setPublisherState({});
    EXPECT_FALSE(window.publisherLine()->isVisible());
}

TEST_F(MonitorWindowTest, SaveWritesTheFramesShownAndReportsWhatFails)
{
    exchange(ring, 3);
    exchange(ring, 1, LineOutcome::NoAnswer);
    window.refresh();

    const QString path = dir.filePath(QStringLiteral("traffic.txt"));
    QString suggested;
    window.setFileNameAsker([&](QWidget *, const QString &s) {
        suggested = s;
        return path;
    });
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    EXPECT_TRUE(suggested.startsWith(dir.filePath(QStringLiteral("Line traffic "))));
    EXPECT_TRUE(suggested.endsWith(QStringLiteral(".txt")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    f.close();
    ASSERT_EQ(lines.size(), 6);   // a head line, four frames, the end of the last line
    EXPECT_TRUE(lines[0].startsWith("Orbalis line traffic, 4 frames, saved ")) << lines[0].toStdString();
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(lines[r + 1], trafficLine(*window.trafficModel().frame(r)));
    EXPECT_TRUE(lines[4].contains("  RX  ID   1  live values      No answer")) << lines[4].toStdString();
    EXPECT_EQ(lines[5], "");
    EXPECT_TRUE(reporter.messages.isEmpty());

    // The filter applies to the file too.
    window.trafficModel().setFilter(3);
    ASSERT_TRUE(window.saveTrafficTo(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readLine().startsWith("Orbalis line traffic, 2 frames of controller ID 3, saved "));
    f.close();

    // Cancelled: nothing written, nothing said.
    window.setFileNameAsker([](QWidget *, const QString &) { return QString(); });
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    EXPECT_TRUE(reporter.messages.isEmpty());

    // A folder that does not exist: the common trap says so, and nothing ends.
    const QString bad = dir.filePath(QStringLiteral("no such folder/traffic.txt"));
    EXPECT_FALSE(window.saveTrafficTo(bad));
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_TRUE(reporter.messages[0].startsWith("At saveTraffic()\r\nWrong code: ")) << reporter.messages[0].toStdString();
    EXPECT_TRUE(reporter.messages[0].contains(bad));
    EXPECT_EQ(reporter.titles[0], "Attention! Wrong");

    // Saved again over the same file on a full disk: it says why, and the
    // file saved before stays whole.
    const QByteArray before = readFile(path);
    reporter.messages.clear();
    bool saved;
    {
        const DiskFullAt full(0);
        saved = window.saveTrafficTo(path);
    }
    EXPECT_FALSE(saved);
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_TRUE(reporter.messages[0].startsWith("At saveTraffic()\r\nWrong code: 61\r\nWrong reasons: Disk full ("))
        << reporter.messages[0].toStdString();
    EXPECT_EQ(readFile(path), before);
}
