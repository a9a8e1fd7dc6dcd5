// The scan and the port list with the real QtSerialPort against orbalis-sim
// on a pseudo-terminal bound as ports/COM1. Ticks are driven by the test; a
// tick that sent a request waits until the simulator has seen it and had the
// time to answer at the line's baud rate.

#include "serial_setting_fixture.h"

#include "link/frames.h"
#include "link/qt_serial_port.h"
#include "state/open_serial_port.h"
#include "support/console_over_simulator.h"
#include "support/spies.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QThread>

using namespace orbalis;
using namespace orbalis::test;

namespace {

class ScanSimulatorTest : public SimulatorFolder {
protected:
    void SetUp() override
    {
        qtApp();
        SimulatorFolder::SetUp();
        console.line.attach(nullptr, &timerRead, nullptr);
        console.lineObservers.add(&counter);
    }

    void TearDown() override
    {
        console.lineObservers.remove(&counter);
        window.reset();
        port.reset();
        SimulatorFolder::TearDown();
    }

    void start(const QString &ids)
    {
        saveSettings(lineSettings());
        ASSERT_NO_FATAL_FAILURE(startSimulator(ids, {QStringLiteral("--turnaround"), QStringLiteral("0")}));

        port = std::make_unique<QtSerialPort>(ComPortResolver(dir.path()));
        console.line.attach(port.get(), &timerRead, nullptr);
        Open_Serial_Port(*port, console.settings.serial);
        ASSERT_TRUE(port->PortOpen());
        timerRead.setEnabled(true);
        window = std::make_unique<FM_SerialSetting>(console, mainStatus, reporter);
        window->FM_SerialSetting_Load();
    }

    int loggedRequests() const { return int(requestsLogged()); }

    // Waits until the simulator has logged `count` requests, then for the
    // time a request and a 7-byte reply take on the line, and a little more.
    void settle(int count)
    {
        QElapsedTimer waited;
        waited.start();
        while (loggedRequests() < count && waited.elapsed() < 3000)
            QThread::msleep(1);
        ASSERT_GE(loggedRequests(), count);
        const int baud = console.settings.serial.Baud.toInt();
        QThread::msleep(ulong(15 * 11 * 1000 / baud + 4));
    }

    void tick()
    {
        const int before = counter.sentCount();
        window->Timer1_Timer();
        if (counter.sentCount() != before)
            settle(logged += counter.sentCount() - before);
    }

    int runScan(int limit = 1100)
    {
        int ticks = 0;
        while (window->Timer1().isEnabled() && ticks < limit) {
            tick();
            ++ticks;
        }
        return ticks;
    }

    QString cell(int row, int column) const { return window->ListView1(1)->topLevelItem(row - 1)->text(column); }

    std::unique_ptr<QtSerialPort> port;
    FakeTimer timerRead;
    FakeStatus mainStatus;
    LineSpy counter;
    int logged = 0;
    std::unique_ptr<FM_SerialSetting> window;
};

} // namespace

TEST_F(ScanSimulatorTest, FindsController7At9600AndKeepsThatRate)
{
    start(QStringLiteral("7"));
    // The port list shows the simulator's pseudo-terminal under COM1.
    const QString pts = QFileInfo(dir.filePath(QStringLiteral("ports/COM1"))).canonicalFilePath();
    QTreeWidgetItem *row = nullptr;
    for (int i = 0; i < window->ListView1(0)->topLevelItemCount(); ++i)
        if (window->ListView1(0)->topLevelItem(i)->text(1) == QStringLiteral("COM1"))
            row = window->ListView1(0)->topLevelItem(i);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(0), pts);
    const QString tip = row->toolTip(0);
    EXPECT_TRUE(tip.contains(QStringLiteral("Device: ") + pts)) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("COM1 from the link ") + dir.filePath(QStringLiteral("ports/COM1"))));
    EXPECT_TRUE(tip.contains(QStringLiteral("this user may open it")));

    // Controller 7 moves to 9600 baud (BAUD, register 53, code 63).
    ASSERT_TRUE(console.line.sendWrite(-1, 7, 53, 63));
    logged = 1;
    settle(1);
    QThread::msleep(20);
    ASSERT_EQ(port->Input(), console.line.requestSent());   // the echo

    window->Command1_Click(3);
    EXPECT_EQ(runScan(), 264);   // steps 0 to 261 and the two block starts
    EXPECT_EQ(window->scan().Scan_Step(), 261);
    EXPECT_EQ(cell(7, 2), QStringLiteral("CRC Ok !"));
    EXPECT_EQ(cell(7, 1), QStringLiteral("---"));
    EXPECT_EQ(cell(6, 2), QStringLiteral("---"));
    EXPECT_EQ(cell(8, 2), QString());
    EXPECT_EQ(window->Label2()->text(), QStringLiteral("25 %"));
    EXPECT_EQ(reporter.beeps, 1);
    EXPECT_EQ(console.settings.serial.Baud, QStringLiteral("9600"));
    SettingsFile file(console.settingsPath());
    file.openReadOnly();
    SettingsModel stored;
    Read_User_Setting(file, 1, stored);
    EXPECT_EQ(stored.serial.Baud, QStringLiteral("9600"));
    EXPECT_EQ(port->Settings(), QStringLiteral("9600,N,8,2"));
    EXPECT_TRUE(port->PortOpen());
    EXPECT_TRUE(timerRead.isEnabled());
    EXPECT_EQ(console.line.Read_State(), ReadState::Select);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'|').toStdString();
}

TEST_F(ScanSimulatorTest, TwoControllersAt19200StopAtTheLowerId)
{
    start(QStringLiteral("12,40"));
    window->Command1_Click(3);
    EXPECT_EQ(runScan(), 13);
    EXPECT_EQ(cell(12, 1), QStringLiteral("CRC Ok !"));
    EXPECT_EQ(cell(11, 1), QStringLiteral("---"));
    EXPECT_EQ(cell(40, 1), QString());
    EXPECT_EQ(window->Label2()->text(), QStringLiteral("1 %"));
    EXPECT_EQ(loggedRequests(), 12);
    EXPECT_EQ(console.settings.serial.Baud, QStringLiteral("19200"));
    EXPECT_TRUE(timerRead.isEnabled());
}
