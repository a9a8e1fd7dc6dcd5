// The alarms of a console without its main window: the real slot panel and
// line health, the alarms' bundle with its journal in a fresh program
// folder, the window offscreen.

#include "alarm_test_support.h"

#include "alarms/alarm_colours.h"
#include "alarms/alarms_window.h"
#include "alarms/console_alarms.h"
#include "alarms/current_alarms_model.h"
#include "alarms/journal_model.h"
#include "console/main_window.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "core/line_watch.h"
#include "health/line_health.h"
#include "images/image_lists.h"
#include "journal/journal_database.h"
#include "settings/orbalis_ini.h"
#include "settings/settings_store.h"
#include "support/accessibility.h"
#include "support/disk_full.h"
#include "support/files.h"
#include "support/qt_app.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;
using namespace std::chrono_literals;

namespace {

using K = AlarmKind;
using S = AlarmState;

class AlarmsWindowTest : public ::testing::Test {
protected:
    AlarmsWindowTest()
    {
        console.programDir = dir.path();
        console.clock = &clock;
        console.line.attach(&port, nullptr, nullptr);
        console.settings.serial.Port = QStringLiteral("COM1");
        for (int k = 0; k < 4; ++k) {
            console.slots.SlotId[std::size_t(k)] = std::uint8_t(5 + k);
            console.slots.Slot_DP_Code[std::size_t(k)] = 48;
            console.settings.panel.NameText[std::size_t(k)] = QStringLiteral("Oven%1").arg(k + 1);
        }
        port.setPortOpen(true);
        panel.resize(600, 600);
        panel.show();
        panel.layoutSlots();
        alarms = std::make_unique<ConsoleAlarms>(console, watch.counters(), panel, reporter, nullptr);
        alarms->start();
    }
    ~AlarmsWindowTest() override { alarms.reset(); }

    // A live exchange as the polling cycle reports it.
    void pollStatus(int slot, std::uint16_t status)
    {
        const auto id = console.slots.SlotId[std::size_t(slot)];
        console.lineObservers.requestSent(Exchange::Live, slot, id, liveRequest(id));
        console.lineObservers.replyJudged(Exchange::Live, slot, id, statusReply(id, status), LineOutcome::Good);
    }
    AlarmKey key(int slot, K kind) const { return {slot, console.slots.SlotId[std::size_t(slot)], kind}; }
    AlarmTracker &tracker() { return alarms->tracker(); }
    AlarmsWindow &window()
    {
        AlarmsWindow &w = alarms->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
    // Waits until the window's journal shows the rows written so far.
    bool journalShows(AlarmsWindow &w, int rows)
    {
        if (!alarms->journal().flush(10s))
            return false;
        return QTest::qWaitFor([&] { return w.journalModel().rowCount() >= rows; }, 5000)
            && w.journalModel().rowCount() == rows;
    }
    int rowOf(const CurrentAlarmsModel &model, const AlarmKey &k)
    {
        for (int r = 0; r < model.rowCount(); ++r)
            if (model.alarmAt(r).key == k)
                return r;
        return -1;
    }
    void select(QTableView *view, int row)
    {
        view->clearSelection();
        view->selectRow(row);
    }
    void click(AlarmsWindow &w, const char *caption)
    {
        QPushButton *b = w.button(QString::fromLatin1(caption));
        ASSERT_NE(b, nullptr) << caption;
        ASSERT_TRUE(b->isEnabled()) << caption;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QString describe(int slot)
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(panel.Pic_Control(slot));
        return a ? a->text(QAccessible::Description) : QString();
    }

    QApplication &app = qtApp(); // before any widget
    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2024, 5, 1), QTime(12, 0))};
    Console console;
    FakeSerialPort port;
    FakeReporter reporter;
    ImageLists images;
    SlotPanel panel{console, images};
    LineWatch watch{console, port};
    LineHealth health{console, watch, panel, reporter, nullptr};
    std::unique_ptr<ConsoleAlarms> alarms;
};

} // namespace

TEST_F(AlarmsWindowTest, EveryControlCarriesANameForScreenReaders)
{
    AlarmsWindow &w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Alarms"));
    const auto found = accessibleNames(&w);
    using R = QAccessible::Role;
    const struct {
        const char *name;
        std::initializer_list<R> roles;
    } expected[] = {
        {"Acknowledge", {R::Button}},
        {"Acknowledge all", {R::Button}},
        {"Shelve...", {R::Button}},
        {"Unshelve", {R::Button}},
        {"Export CSV...", {R::Button}},
        {"Sound", {R::CheckBox}},
        {"From", {R::CheckBox}},
        {"To", {R::CheckBox}},
        {"Controller", {R::ComboBox}},
        {"Alarm", {R::ComboBox}},
        {"Comment", {R::EditableText}},
        {"Search", {R::EditableText}},
        {"Current alarms", {R::Table}},
        {"Shelved alarms", {R::Table}},
        {"Journal", {R::Table}},
        {"From time", {R::SpinBox, R::EditableText}},
        {"To time", {R::SpinBox, R::EditableText}},
    };
    for (const auto &e : expected)
        EXPECT_TRUE(hasAccessible(found, QString::fromLatin1(e.name), e.roles)) << e.name;
    // The line on floods and chattering is heard with what it says.
    EXPECT_TRUE(hasAccessible(found, QStringLiteral("Alarm flood and chattering: ") + w.rateLine(), {R::StaticText}));
    // And nothing the user can reach without one.
    for (QWidget *child : w.findChildren<QWidget *>()) {
        // The views' own parts and the editors inside spin boxes are named by their owners.
        const bool part = child->parentWidget()->inherits("QAbstractSpinBox") || child->inherits("QTabBar")
            || qobject_cast<QAbstractItemView *>(child->parentWidget()->parentWidget());
        if (child->isVisibleTo(&w) && child->focusPolicy() != Qt::NoFocus && !part) {
            EXPECT_FALSE(child->accessibleName().isEmpty()) << child->metaObject()->className();
        }
    }
}

TEST_F(AlarmsWindowTest, AcknowledgeShelveAndUnshelveFromTheWindowKeepTheirComments)
{
    pollStatus(0, 0x0003);
    clock.set(clock.now().addSecs(1));
    pollStatus(1, 0x1000);
    AlarmsWindow &w = window();
    CurrentAlarmsModel &current = w.currentModel();
    ASSERT_EQ(current.rowCount(), 3);
    EXPECT_EQ(current.alarmAt(0).key, key(1, K::InputOpen)); // newest first
    EXPECT_EQ(current.data(current.index(0, 0), Qt::BackgroundRole).value<QBrush>().color(),
              alarmStateColour(S::ActiveUnacknowledged));
    EXPECT_FALSE(w.button(QStringLiteral("Acknowledge"))->isEnabled()); // nothing chosen

    select(w.currentView(), rowOf(current, key(0, K::Alarm1)));
    QTest::keyClicks(w.commentBox(), QStringLiteral("seen"));
    click(w, "Acknowledge");
    EXPECT_EQ(tracker().state(key(0, K::Alarm1)), S::ActiveAcknowledged);
    EXPECT_TRUE(w.commentBox()->text().isEmpty());
    EXPECT_EQ(current.data(current.index(rowOf(current, key(0, K::Alarm1)), 5)).toString(),
              QStringLiteral("Active, acknowledged"));

    std::optional<QString> asked;
    w.askShelving = [&](const QString &alarms) {
        asked = alarms;
        return AlarmsWindow::Shelving{30min, QStringLiteral("repair under way")};
    };
    select(w.currentView(), rowOf(current, key(1, K::InputOpen)));
    click(w, "Shelve...");
    EXPECT_EQ(asked, QStringLiteral("Oven2 (ID 6) Input Open"));
    EXPECT_EQ(tracker().state(key(1, K::InputOpen)), S::ShelvedActive);
    EXPECT_EQ(current.rowCount(), 2);
    EXPECT_EQ(w.alarmTabs()->tabText(1), QStringLiteral("Shelved (1)"));
    EXPECT_EQ(w.shelvedModel().data(w.shelvedModel().index(0, 0)).toString(),
              JournalModel::timeText(tracker().nowMs() + 30 * 60'000));

    w.alarmTabs()->setCurrentIndex(1);
    select(w.shelvedView(), 0);
    QTest::keyClicks(w.commentBox(), QStringLiteral("done"));
    click(w, "Unshelve");
    EXPECT_EQ(tracker().state(key(1, K::InputOpen)), S::ActiveUnacknowledged);
    EXPECT_EQ(w.alarmTabs()->tabText(1), QStringLiteral("Shelved"));

    w.alarmTabs()->setCurrentIndex(0);
    click(w, "Acknowledge all");
    EXPECT_FALSE(tracker().anyUnacknowledged());
    EXPECT_FALSE(w.button(QStringLiteral("Acknowledge all"))->isEnabled());

    // The journal below shows every change, newest first, with the comments.
    ASSERT_TRUE(journalShows(w, 8));
    QStringList rows;
    for (int r = w.journalModel().rowCount() - 1; r >= 0; --r) {
        const AlarmEventRow &row = w.journalModel().rowAt(r);
        rows << row.alarm + u' ' + row.change + u' ' + row.comment;
    }
    EXPECT_EQ(rows,
              (QStringList{"Alarm 1 activated ", "Alarm 2 activated ", "Input Open activated ",
                           "Alarm 1 acknowledged seen", "Input Open shelved repair under way",
                           "Input Open unshelved done", "Alarm 2 acknowledged ", "Input Open acknowledged "}));
}

TEST_F(AlarmsWindowTest, TheJournalIsFilteredByControllerAlarmTimeAndText)
{
    const QDateTime start = clock.now();
    for (int day = 0; day < 3; ++day) {
        clock.set(start.addDays(day));
        pollStatus(0, 0x0001);
        pollStatus(1, 0x0002);
        clock.set(start.addDays(day).addSecs(60));
        pollStatus(0, 0x0000);
        pollStatus(1, 0x0000);
    }
    tracker().acknowledge(key(1, K::Alarm2), QStringLiteral("Door OPEN"));
    AlarmsWindow &w = window();
    ASSERT_TRUE(journalShows(w, 13));

    QStringList controllers;
    for (int i = 0; i < w.controllerBox()->count(); ++i)
        controllers << w.controllerBox()->itemText(i);
    EXPECT_EQ(controllers,
              (QStringList{"All controllers", "Line", "ID 5 Oven1", "ID 6 Oven2", "ID 7 Oven3", "ID 8 Oven4"}));
    const auto shown = [&] {
        while (w.journalModel().canFetchMore())
            w.journalModel().fetchMore();
        return w.journalModel().rowCount();
    };
    w.controllerBox()->setCurrentIndex(w.controllerBox()->findData(6));
    w.applyFilter();
    EXPECT_EQ(shown(), 7);
    // 2 May only.
    w.fromEdit()->setDateTime(QDateTime(QDate(2024, 5, 2), QTime(0, 0)));
    w.toEdit()->setDateTime(QDateTime(QDate(2024, 5, 3), QTime(0, 0)));
    w.fromBox()->setChecked(true);
    w.toBox()->setChecked(true);
    EXPECT_EQ(shown(), 2);
    w.controllerBox()->setCurrentIndex(0);
    w.alarmBox()->setCurrentIndex(w.alarmBox()->findData(QStringLiteral("Alarm 1")));
    w.applyFilter();
    EXPECT_EQ(shown(), 2);
    w.fromBox()->setChecked(false);
    w.toBox()->setChecked(false);
    EXPECT_EQ(shown(), 6);
    w.alarmBox()->setCurrentIndex(0);
    QTest::keyClicks(w.searchBox(), QStringLiteral("door open"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.journalModel().rowCount() == 1; }, 3000));
    EXPECT_EQ(w.journalModel().rowAt(0).comment, QStringLiteral("Door OPEN"));

    // Rows written while the window is open come on top, under the filter.
    w.searchBox()->clear();
    w.applyFilter();
    clock.set(start.addDays(3));
    pollStatus(2, 0x0001);
    ASSERT_TRUE(journalShows(w, 14));
    EXPECT_EQ(w.journalModel().rowAt(0).controllerId, 7);
}

TEST_F(AlarmsWindowTest, ExportWritesWhatTheFilterLetsThroughAndAFailedOneSaysWhyAndKeepsTheFile)
{
    pollStatus(0, 0x0003);
    pollStatus(1, 0x0001);
    AlarmsWindow &w = window();
    ASSERT_TRUE(journalShows(w, 3));
    w.controllerBox()->setCurrentIndex(w.controllerBox()->findData(5));
    w.applyFilter();

    const QString path = dir.filePath(QStringLiteral("alarms.csv"));
    QString title, suggested;
    w.chooseSaveFile = [&](const QString &t, const QString &, const QString &s) {
        title = t;
        suggested = s;
        return path;
    };
    QTest::mouseClick(w.button(QStringLiteral("Export CSV...")), Qt::LeftButton);
    EXPECT_EQ(title, QStringLiteral("Export CSV"));
    EXPECT_TRUE(suggested.startsWith(dir.filePath(QStringLiteral("Alarm journal "))));
    const QByteArray csv = readFile(path);
    EXPECT_EQ(csv.count('\n'), 3); // the header and controller 5's two rows
    EXPECT_EQ(w.note(), QStringLiteral("Exported 2 rows to ") + path);

    bool saved = true;
    {
        const DiskFullAt full(100);
        saved = w.exportCsv(path);
    }
    EXPECT_FALSE(saved);
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_TRUE(reporter.messages[0].startsWith(QStringLiteral("At exportJournalCsv()\r\nWrong code: ")))
        << reporter.messages[0].toStdString();
    EXPECT_TRUE(reporter.messages[0].contains(path));
    EXPECT_EQ(readFile(path), csv);
}

TEST_F(AlarmsWindowTest, FloodsAndChatteringAreStatedAtTheTopOfTheWindowAndInTheSummary)
{
    AlarmsWindow &w = window();
    EXPECT_EQ(w.rateLine(), QStringLiteral("No alarm flood, no chattering alarm."));
    EXPECT_TRUE(alarms->panel().summary().isEmpty());
    for (int i = 0; i < 3; ++i) {
        pollStatus(0, 0x0001);
        clock.set(clock.now().addSecs(5));
        pollStatus(0, 0x0000);
    }
    for (int slot = 1; slot < 4; ++slot)
        pollStatus(slot, 0x2003);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rateLine().startsWith(QStringLiteral("Alarm flood")); }, 2000));
    EXPECT_EQ(w.rateLine(),
              QStringLiteral("Alarm flood: 12 new alarms in the last 10 minutes. Chattering: Oven1 "
                             "(ID 5) Alarm 1."));
    EXPECT_EQ(alarms->panel().summary(),
              QStringLiteral("Alarms: 10 unacknowledged, 10 current · Alarm flood · 1 chattering"));
    EXPECT_EQ(
        w.currentModel()
            .data(w.currentModel().index(rowOf(w.currentModel(), key(0, K::Alarm1)), CurrentAlarmsModel::Chattering))
            .toString(),
        QStringLiteral("chattering"));
    clock.set(clock.now().addSecs(11 * 60));
    tracker().tick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rateLine().startsWith(QStringLiteral("No alarm flood")); }, 2000));
}

TEST_F(AlarmsWindowTest, ASlotWhoseAlarmsWaitBlinksAFrameInTheGapAndItsDescriptionNamesThem)
{
    SlotPicture &slot = *panel.Pic_Control(0);
    const QImage before = slot.picture().copy();
    pollStatus(1, 0x0000);
    pollStatus(0, 0x0001);
    const QColor red = alarmStateColour(S::ActiveUnacknowledged);
    EXPECT_EQ(panel.alarmFrame(0), red);
    EXPECT_FALSE(panel.alarmFrame(1).isValid());
    EXPECT_EQ(slot.picture(), before); // nothing drawn into the slot's own picture
    QApplication::processEvents();
    const QImage shown = panel.grab().toImage();
    const QRect r = slot.geometry();
    const QRect frame = panel.alarmFrameRect(0);
    EXPECT_GT(frame.width(), r.width());
    EXPECT_EQ(shown.pixelColor(r.left() - 1, r.center().y()), red);
    EXPECT_EQ(shown.pixelColor(frame.left(), frame.top()), red);
    EXPECT_NE(shown.pixelColor(r.left() + 1, r.center().y()), red);
    EXPECT_TRUE(describe(0).endsWith(QStringLiteral("Unacknowledged alarm: Alarm 1."))) << describe(0).toStdString();

    alarms->panel().blink();
    EXPECT_FALSE(panel.alarmFrame(0).isValid());
    alarms->panel().blink();
    EXPECT_EQ(panel.alarmFrame(0), red);

    pollStatus(0, 0x1000); // Alarm 1 returns, Input Open comes
    EXPECT_TRUE(describe(0).endsWith(QStringLiteral("Unacknowledged alarms: Alarm 1, Input Open.")));
    tracker().acknowledge(key(0, K::InputOpen));
    EXPECT_EQ(panel.alarmFrame(0), alarmStateColour(S::ReturnedUnacknowledged)); // blue: only returned ones wait
    tracker().acknowledge(key(0, K::Alarm1));
    EXPECT_FALSE(panel.alarmFrame(0).isValid());
    EXPECT_FALSE(describe(0).contains(QStringLiteral("Unacknowledged")));
    // Acknowledged but still active: no frame, and the lamp still on in the values.
    EXPECT_EQ(tracker().state(key(0, K::InputOpen)), S::ActiveAcknowledged);
}

TEST_F(AlarmsWindowTest, TheConsoleBeepsEveryTenSecondsWhileAnAlarmWaitsUnlessTheSoundIsOff)
{
    const QByteArray settings = "settings as the user keeps them";
    writeFile(console.settingsPath(), settings);
    PanelAlarms &sound = alarms->panel();
    EXPECT_TRUE(sound.soundOn());
    pollStatus(0, 0x0001);
    EXPECT_EQ(reporter.beeps, 1); // at once
    sound.soundTick();
    EXPECT_EQ(reporter.beeps, 2); // and every 10 s
    tracker().acknowledgeAll();
    sound.soundTick();
    EXPECT_EQ(reporter.beeps, 2);

    AlarmsWindow &w = window();
    EXPECT_TRUE(w.soundBox()->isChecked());
    QTest::mouseClick(w.soundBox(), Qt::LeftButton);
    EXPECT_FALSE(sound.soundOn());
    pollStatus(1, 0x0002);
    sound.soundTick();
    EXPECT_EQ(reporter.beeps, 2);
    EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("Orbalis.ini"))).contains("[alarms]\nsound=false"));
    EXPECT_EQ(readFile(console.settingsPath()), settings);
    // The next start keeps it off.
    EXPECT_FALSE(PanelAlarms(console, tracker(), panel, reporter).soundOn());
    EXPECT_TRUE(reporter.messages.isEmpty());
}

TEST(AlarmsInTheConsole, AJournalThatCannotBeReadIsSetAsideAndReportedAndViewAlarmsShowsTheLostPort)
{
    qtApp();
    QTemporaryDir dir;
    Console console;
    console.programDir = dir.path();
    FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    console.clock = &clock;
    writeFile(journalPath(dir.path()), QByteArray(4096, '\x01'));
    FakeSerialPort port;
    port.refuseOpen = true; // a port named in the settings that cannot be opened
    FakeReporter reporter;
    FM_Orbalis window(console, port, reporter);
    window.Form_Load();

    ASSERT_TRUE(window.alarms().journal().flush(10s));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !reporter.messages.isEmpty(); }, 5000));
    const QString aside = journalPath(dir.path()) + QStringLiteral(".damaged-240303-140307");
    ASSERT_EQ(reporter.messages.size(), 1) << reporter.messages.join(u'\n').toStdString();
    EXPECT_EQ(reporter.messages[0],
              QStringLiteral("At openJournal()\r\nWrong code: 75\r\nWrong reasons: ") + errorDescription(PathFileAccess)
                  + QStringLiteral(" (") + journalPath(dir.path())
                  + QStringLiteral(": it is not a database SQLite can read (file is not a "
                                   "database); it is kept as \"")
                  + aside + QStringLiteral("\" and a new journal was started)"));
    EXPECT_EQ(readFile(aside), QByteArray(4096, '\x01'));

    // The port lost at the start is an alarm of the line, in the status bar
    // and in the window that "View", "Alarms" opens.
    EXPECT_EQ(window.alarms().tracker().state(AlarmKey::line()), AlarmState::ActiveUnacknowledged);
    QToolButton *summary = window.alarms().summaryButton(&window);
    EXPECT_EQ(summary->parentWidget(), window.statusBar());
    EXPECT_TRUE(summary->isVisibleTo(&window));
    EXPECT_EQ(summary->text(), QStringLiteral("Alarms: 1 unacknowledged, 1 current"));
    QAction *alarmsEntry = nullptr;
    for (QAction *a : window.viewMenu()->actions())
        if (a->text() == u"Alarms")
            alarmsEntry = a;
    ASSERT_NE(alarmsEntry, nullptr);
    alarmsEntry->trigger();
    AlarmsWindow *alarms = window.alarms().window();
    ASSERT_NE(alarms, nullptr);
    EXPECT_TRUE(alarms->isVisible());
    ASSERT_EQ(alarms->currentModel().rowCount(), 1);
    EXPECT_EQ(alarms->currentModel().data(alarms->currentModel().index(0, CurrentAlarmsModel::Slot)).toString(),
              QStringLiteral("Line"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return alarms->journalModel().rowCount() == 1; }, 5000));
    EXPECT_EQ(alarms->journalModel().rowAt(0).alarm, QStringLiteral("Port lost"));
    window.Form_Unload();
}

TEST_F(AlarmsWindowTest, RowsWrittenWhileTheJournalIsScrolledDownLeaveTheRowsInViewInView)
{
    for (int i = 0; i < 120; ++i) {
        pollStatus(0, i % 2 ? 0x0000 : 0x0001);
        clock.set(clock.now().addSecs(1));
    }
    AlarmsWindow &w = window();
    ASSERT_TRUE(journalShows(w, 120));
    QTableView *view = w.journalView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->verticalScrollBar()->maximum() >= 40; }, 5000));
    view->verticalScrollBar()->setValue(40);
    QApplication::processEvents();
    ASSERT_EQ(view->rowAt(0), 40);
    const qint64 topId = w.journalModel().rowAt(view->rowAt(0)).id;
    pollStatus(1, 0x0001);
    pollStatus(2, 0x0001);
    ASSERT_TRUE(journalShows(w, 122));
    QApplication::processEvents();
    EXPECT_EQ(w.journalModel().rowAt(view->rowAt(0)).id, topId);
    EXPECT_EQ(w.journalModel().rowAt(0).controllerId, 7);
}
