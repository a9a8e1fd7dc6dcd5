// The console's core without a window, as a program without a display runs
// it: a QCoreApplication, the real port against orbalis-sim, polling with
// recording and the line's counters; and its start on a port that does not
// open.

#include "base/error_trap.h"
#include "core/console_core.h"
#include "core/line_watch.h"
#include "core/polling_cycle.h"
#include "core/record_file_reader.h"
#include "link/qt_serial_port.h"
#include "model/live_value_table.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "support/core_app.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/simulator.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

SettingsModel settingsOn(const QString &port)
{
    SettingsModel model;
    model.serial = {port, QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("None")};
    model.panel.IdText[0] = QStringLiteral("001");
    model.panel.IdText[3] = QStringLiteral("002");
    Fill_Default_Settings(model);
    return model;
}

TEST(ConsoleCore, PollsRecordsAndCountsOverTheSimulatorWithoutAWindow)
{
    test::coreApp();
    // Nothing here may need a display.
    ASSERT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
    if (!test::simulatorBuilt())
        GTEST_SKIP() << "orbalis-sim is not built next to the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Console console;
    console.programDir = dir.path();
    const test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    console.clock = &clock;
    saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, settingsOn(QStringLiteral("COM1")));
    test::SimulatedLine sim;
    ASSERT_TRUE(sim.start(dir.path(), 1, {QStringLiteral("--ids"), QStringLiteral("1-2")})) << sim.said().constData();

    QtSerialPort port{ComPortResolver(dir.path())};
    test::FakeReporter reporter;
    {
        ConsoleCore core(console, port);
        ErrorTrap trap(reporter, QStringLiteral("ConsoleCore"));
        core.start(trap);
        ASSERT_TRUE(port.PortOpen());
        EXPECT_TRUE(core.Timer_Read().isEnabled());
        EXPECT_EQ(console.slots.SlotId[0], 1);
        EXPECT_EQ(console.slots.SlotId[3], 2);
        console.slots.Record_Flag[0] = true; // controller 1 is recorded, controller 2 is not

        const LineCounters &counters = core.watch().counters();
        EXPECT_TRUE(QTest::qWaitFor([&] { return counters.of(1).good >= 5 && counters.of(2).good >= 5; }, 20000))
            << counters.of(1).good << " and " << counters.of(2).good << " good replies";
        EXPECT_TRUE(core.mainStatus().text(1).startsWith(QStringLiteral("No.")));
        EXPECT_EQ(core.mainStatus().text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
        EXPECT_GE(core.histories().history(0).size(), 5u);
        EXPECT_GE(core.histories().history(3).size(), 5u);
        EXPECT_FALSE(core.liveValues().text(4096).isEmpty());

        core.stop(trap);
        EXPECT_FALSE(port.PortOpen());
        EXPECT_FALSE(core.Timer_Read().isEnabled());
    }
    EXPECT_EQ(console.line.port(), nullptr); // the core gave the line back
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();

    // The record file of controller 1 holds the header and one line per
    // good reply, and reads back as the trends read it.
    const QDate day = clock.now().date();
    const QByteArray recorded = test::readFile(dir.filePath(recordFileName(day, 1)));
    ASSERT_TRUE(recorded.startsWith("Time,PvPvof,")) << recorded.left(80).constData();
    const RecordLoad load = RecordFileReader(dir.path(), 1).load(day, day, 100);
    EXPECT_GE(load.samples.size(), 5u);
    EXPECT_EQ(load.linesSkipped, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath(recordFileName(day, 2))));
}

TEST(ConsoleCore, StartsWithThePortItHasOrSaysWhyNot)
{
    test::coreApp();
    const struct {
        const char *port;
        bool opens;
        bool polling;
        const char *panel2;
    } cases[] = {
        {"COM1", true, true, ""},
        {"COM1", false, true, "Serial port is not open !"}, // polling reopens it every second tick
        {"CLOSE", false, false, "Serial port is close !"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.port) + (c.opens ? " opening" : " refusing"));
        QTemporaryDir dir;
        Console console;
        console.programDir = dir.path();
        saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, settingsOn(QString::fromLatin1(c.port)));
        test::FakeSerialPort port;
        port.refuseOpen = !c.opens;
        test::FakeReporter reporter;
        ConsoleCore core(console, port);
        ErrorTrap trap(reporter, QStringLiteral("ConsoleCore"));
        core.start(trap);
        EXPECT_EQ(port.PortOpen(), c.opens);
        EXPECT_EQ(core.Timer_Read().isEnabled(), c.polling);
        EXPECT_EQ(console.line.Read_State(), ReadState::Select);
        EXPECT_EQ(core.mainStatus().text(2), QString::fromLatin1(c.panel2));
        EXPECT_TRUE(reporter.messages.isEmpty());
        core.stop(trap);
        EXPECT_FALSE(core.Timer_Read().isEnabled());
    }
}

} // namespace
