#include "link/frames.h"
#include "state/open_serial_port.h"
#include "link/pseudo_terminal.h"
#include "link/qt_serial_port.h"

#include "support/listed_ports.h"
#include "support/errors.h"
#include "support/replies.h"
#include "support/qt_app.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {
namespace {

using test::bytes;
using test::errorNumberOf;

// A console program folder with a pseudo-terminal bound as COM3; no other
// device of the machine is visible to the port.
class QtSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(programDir.isValid());
        pty.bindAs(programDir.path(), 3);
        port.setCommPort(3);
    }

    void Open(const QString &settings = QStringLiteral("19200,N,8,2"))
    {
        port.setSettings(settings);
        port.setPortOpen(true);
        ASSERT_TRUE(port.PortOpen());
    }

    // Polls Input until `count` bytes have come or two seconds have passed.
    QByteArray inputUntil(qsizetype count)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < 2000) {
            QElapsedTimer call;
            call.start();
            got += port.Input();
            EXPECT_LT(call.elapsed(), 50) << "Input waited";
            if (got.size() < count)
                pty.readFor(1);   // a short pause without busy looping
        }
        return got;
    }

    QByteArray masterRead(qsizetype count) { return pty.readAtLeast(count, 2000); }

    QTemporaryDir programDir;
    PseudoTerminal pty;
    QtSerialPort port{ComPortResolver(programDir.path(), [] { return QList<ListedPort>{}; })};
};

TEST_F(QtSerialPortTest, RawBytesBothWays)
{
    Open();
    const QByteArray special = bytes({0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x0D, 0x0A, 0x7F, 0x03, 0x1A, 0x04});
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));

    port.Output(special);
    EXPECT_EQ(masterRead(special.size()), special);
    port.Output(all);
    EXPECT_EQ(masterRead(all.size()), all);

    pty.write(special);
    EXPECT_EQ(inputUntil(special.size()), special);
    pty.write(all);
    EXPECT_EQ(inputUntil(all.size()), all);
}

TEST_F(QtSerialPortTest, InputReturnsEverythingWithoutWaiting)
{
    Open();
    QElapsedTimer quiet;
    quiet.start();
    EXPECT_TRUE(port.Input().isEmpty());
    EXPECT_TRUE(port.Input().isEmpty());
    EXPECT_LT(quiet.elapsed(), 50);

    QByteArray burst;
    for (int i = 0; i < 200; ++i)
        burst.append(char((i * 37) & 0xFF));
    pty.write(burst);
    EXPECT_EQ(inputUntil(burst.size()), burst);
    EXPECT_TRUE(port.Input().isEmpty());
}

TEST_F(QtSerialPortTest, InputTakesWhatArrivedBeforeItInOneCall)
{
    Open();
    const QByteArray reply = bytes({0x01, 0x03, 0x02, 0x00, 0xFA, 0x38, 0x07});
    pty.write(reply);
    // The line has had time to carry the bytes: one call must take them all,
    // as a reply check does once per tick.
    pty.readFor(100);
    EXPECT_EQ(port.Input(), reply);
}

TEST_F(QtSerialPortTest, RequestFlushDropsWhatTheLineStillHolds)
{
    Open_Serial_Port(port, {QStringLiteral("COM3"), QStringLiteral("19200"), QStringLiteral("2"),
                            QStringLiteral("8"), QStringLiteral("None")});
    ASSERT_TRUE(port.PortOpen());
    LineBuffers line;
    // A late reply, still in the OS and not yet seen by Qt.
    pty.write(withCrc(bytes({0x01, 0x03, 0x02, 0x12, 0x34})));
    pty.readFor(50);
    Send_Read_Request(port, line, 1, 4096, 30);
    EXPECT_EQ(masterRead(8), bytes({0x01, 0x04, 0x10, 0x00, 0x00, 0x1E, 0x74, 0xC2}));

    const QByteArray reply = withCrc(bytes({0x01, 0x04, 0x02, 0x00, 0x0D}));
    pty.write(reply);
    pty.readFor(50);
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer, reply);
}

TEST_F(QtSerialPortTest, ClosingDropsPendingInput)
{
    Open();
    pty.write(QByteArrayLiteral("left over"));
    pty.readFor(50);
    port.setPortOpen(false);
    EXPECT_FALSE(port.PortOpen());
    pty.write(QByteArrayLiteral("while closed"));
    pty.readFor(50);
    Open();
    pty.readFor(50);
    EXPECT_TRUE(port.Input().isEmpty());
    pty.write(bytes({0x42}));
    EXPECT_EQ(inputUntil(1), bytes({0x42}));
}

TEST_F(QtSerialPortTest, SettingsTheDeviceRefusesFailTheOpen)
{
    // Whether a pseudo-terminal keeps a parity bit depends on the kernel;
    // ask it first through Qt directly.
    {
        QSerialPort probe;
        probe.setPortName(pty.slavePath());
        ASSERT_TRUE(probe.open(QIODevice::ReadWrite));
        if (probe.setParity(QSerialPort::EvenParity))
            GTEST_SKIP() << "this kernel's pseudo-terminals accept parity";
    }
    port.setSettings(QStringLiteral("19200,E,8,2"));
    const int number = errorNumberOf([&] { port.setPortOpen(true); });
    EXPECT_EQ(number, DeviceControlBlock);
    EXPECT_FALSE(port.PortOpen());
    // The same device opens again with settings it takes.
    Open();
}

TEST_F(QtSerialPortTest, ClosedPortRefusesInputAndOutput)
{
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(errorNumberOf([&] { port.Input(); }), PortNotOpen);
    EXPECT_EQ(errorNumberOf([&] { port.Output(bytes({1})); }), PortNotOpen);
    Open();
    port.setPortOpen(false);
    EXPECT_EQ(errorNumberOf([&] { port.Input(); }), PortNotOpen);
    EXPECT_NO_THROW(port.setPortOpen(false));
}

TEST_F(QtSerialPortTest, PortNumberIsFixedWhileOpen)
{
    Open();
    EXPECT_EQ(errorNumberOf([&] { port.setCommPort(4); }), InvalidPortNumber);
    EXPECT_EQ(port.CommPort(), 3);
    EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(QtSerialPortTest, OpenFailuresLeaveThePortClosed)
{
    port.setCommPort(7);   // nothing bound, nothing listed
    EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
    EXPECT_FALSE(port.PortOpen());

    port.setCommPort(3);
    for (const char *bad : {"19200,X,8,2", "19200,N,9,2", "19200,N,8,3", "fast,N,8,2", "19200,N,8", "", "0,N,8,1"}) {
        port.setSettings(QLatin1String(bad));
        EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), DeviceControlBlock) << bad;
        EXPECT_FALSE(port.PortOpen()) << bad;
    }

    // A link whose device is gone binds the name but cannot be opened.
    pty.close();
    PseudoTerminal other;
    port.setSettings(QStringLiteral("19200,N,8,2"));
    ASSERT_TRUE(QFile::link(programDir.filePath(QStringLiteral("nowhere")),
                            programDir.filePath(QStringLiteral("ports/COM3"))));
    EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(QtSerialPortTest, SettingsReachTheLine)
{
    Open(QStringLiteral("9600,N,8,1"));
    EXPECT_EQ(pty.lineBaud(), 9600);
    port.setPortOpen(false);
    Open(QStringLiteral("38400,N,8,2"));
    EXPECT_EQ(pty.lineBaud(), 38400);
    // Changed while open: applied at once.
    port.setSettings(QStringLiteral("4800,N,8,2"));
    EXPECT_EQ(pty.lineBaud(), 4800);
    EXPECT_EQ(port.Settings(), QStringLiteral("4800,N,8,2"));
    EXPECT_EQ(errorNumberOf([&] { port.setSettings(QStringLiteral("4800,Q,8,2")); }), DeviceControlBlock);
}

TEST_F(QtSerialPortTest, DeviceGoingAwayRaisesAPortErrorWithoutHanging)
{
    Open();
    pty.write(bytes({0x01}));
    EXPECT_EQ(inputUntil(1), bytes({0x01}));

    pty.close();   // the other end hangs up
    QElapsedTimer clock;
    clock.start();
    const int number = errorNumberOf([&] { port.Input(); });
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(number == DeviceNotOpen || number == ReadError) << number;
    // It stays an error rather than turning into a quiet line.
    const int again = errorNumberOf([&] { port.Input(); });
    EXPECT_TRUE(again == DeviceNotOpen || again == ReadError) << again;

    // What the polling cycle then does: close, and find the device missing.
    port.setPortOpen(false);
    EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
}

TEST_F(QtSerialPortTest, ADeviceInUseElsewhereSaysSo)
{
    QSerialPort other;
    other.setPortName(pty.slavePath());
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    try {
        port.setPortOpen(true);
        FAIL() << "opened a device in use";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), InvalidPortNumber);
        EXPECT_EQ(e.detail(), pty.slavePath()
                      + QStringLiteral(" is in use by another program, which holds it open or locked; "
                                       "close that program, then try again"));
    }
    EXPECT_FALSE(port.PortOpen());
    other.close();
    Open();
}

TEST_F(QtSerialPortTest, ADeviceThisUserMayNotOpenNamesTheRemedy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens the device whatever its mode";
    ASSERT_EQ(::chmod(QFile::encodeName(pty.slavePath()).constData(), 0), 0);
    try {
        port.setPortOpen(true);
        FAIL() << "opened a device without permission";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), InvalidPortNumber);
        EXPECT_TRUE(e.detail().startsWith(pty.slavePath() + QStringLiteral(" may not be opened by this user")))
            << e.detail().toStdString();
    }
}

TEST(OpenRefusalText, CauseAndRemedyByWhatTheDeviceFileSays)
{
    const QString device = QStringLiteral("/dev/ttyUSB0");
    const QString askAdmin = QStringLiteral(
        "/dev/ttyUSB0 may not be opened by this user: ask the administrator for read and write access to it");
    const QString inUse = QStringLiteral("/dev/ttyUSB0 is in use by another program, which holds it open or "
                                         "locked; close that program, then try again");
    const struct Row {
        QSerialPort::SerialPortError error;
        const char *reason;
        int accessErrno;
        const char *group;
        bool groupMayReadWrite;
        QString text;
    } rows[] = {
        {QSerialPort::PermissionError, "Permission denied", EACCES, "dialout", true,
         QStringLiteral("/dev/ttyUSB0 may not be opened by this user: it belongs to the group dialout; add the "
                        "user to that group with sudo usermod -aG dialout $USER, then log out and in again")},
        {QSerialPort::PermissionError, "Permission denied", EACCES, "uucp", true,
         QStringLiteral("/dev/ttyUSB0 may not be opened by this user: it belongs to the group uucp; add the "
                        "user to that group with sudo usermod -aG uucp $USER, then log out and in again")},
        {QSerialPort::PermissionError, "Operation not permitted", EPERM, "root", true, askAdmin},
        {QSerialPort::PermissionError, "Permission denied", EACCES, "dialout", false, askAdmin},
        {QSerialPort::PermissionError, "Permission denied", EACCES, "", false, askAdmin},
        {QSerialPort::PermissionError, "Device or resource busy", 0, "dialout", true, inUse},
        {QSerialPort::PermissionError, "Permission error while locking the device", 0, "dialout", true, inUse},
        {QSerialPort::DeviceNotFoundError, "No such file or directory", ENOENT, "", false,
         QStringLiteral("/dev/ttyUSB0: No such file or directory")},
        {QSerialPort::ResourceError, "Input/output error", 0, "dialout", true,
         QStringLiteral("/dev/ttyUSB0: Input/output error")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.reason);
        SCOPED_TRACE(row.group);
        OpenRefusal r;
        r.error = row.error;
        r.reason = QString::fromLatin1(row.reason);
        r.accessErrno = row.accessErrno;
        r.group = QString::fromLatin1(row.group);
        r.groupMayReadWrite = row.groupMayReadWrite;
        EXPECT_EQ(openRefusalText(device, r), row.text);
    }
}

// The devices of a machine as a port lister sees them, served from a list
// the test changes; pseudo-terminals stand in for the devices.
class BoundDeviceOpenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(programDir.isValid());
        port.setCommPort(1);
        port.setSettings(QStringLiteral("19200,N,8,2"));
    }


    // Whether a byte sent now arrives at the far end of `t`.
    bool Reaches(PseudoTerminal &t)
    {
        port.Output(bytes({0x5A}));
        return t.readAtLeast(1, 500) == bytes({0x5A});
    }

    QTemporaryDir programDir;
    QList<ListedPort> listed;
    PseudoTerminal uart;
    QtSerialPort port{ComPortResolver(programDir.path(), [this] { return listed; })};
};

TEST_F(BoundDeviceOpenTest, TheComNameStaysWithItsDeviceUntilTheUserChoosesAgain)
{
    auto adapter = std::make_unique<PseudoTerminal>();
    listed = {test::onBoardUart(uart.slavePath()),
              test::usbAdapter(adapter->slavePath(), QStringLiteral("ttyUSB0"))};
    EXPECT_EQ(port.boundDevice().name, QString());
    port.setPortOpen(true);
    ASSERT_TRUE(Reaches(*adapter));
    const QString name = QStringLiteral("FT232R USB UART (usb-FTDI_FT232R_USB_UART_AK05B7Q2-if00-port0)");
    EXPECT_EQ(port.boundDevice().name, name);
    EXPECT_FALSE(port.boundDevice().missing);

    // Pulled: by number COM1 is the UART now, but the name waits.
    adapter->close();
    listed = {test::onBoardUart(uart.slavePath())};
    port.setPortOpen(false);
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
        EXPECT_FALSE(port.PortOpen());
    }
    EXPECT_EQ(port.boundDevice().name, name);
    EXPECT_TRUE(port.boundDevice().missing);
    EXPECT_TRUE(uart.readFor(50).isEmpty());

    // Back as ttyUSB1.
    adapter = std::make_unique<PseudoTerminal>();
    listed = {test::onBoardUart(uart.slavePath()),
              test::usbAdapter(adapter->slavePath(), QStringLiteral("ttyUSB1"))};
    port.setPortOpen(true);
    EXPECT_TRUE(Reaches(*adapter));
    EXPECT_FALSE(port.boundDevice().missing);
    EXPECT_TRUE(uart.readFor(50).isEmpty());

    // Another COM number has a binding of its own.
    port.setPortOpen(false);
    port.setCommPort(2);
    port.setPortOpen(true);
    EXPECT_TRUE(Reaches(uart));
    EXPECT_EQ(port.boundDevice().name, uart.slavePath());
    port.setPortOpen(false);
    port.setCommPort(1);

    // The user's choice binds the name anew, to what it resolves to now.
    adapter->close();
    listed = {test::onBoardUart(uart.slavePath())};
    EXPECT_EQ(errorNumberOf([&] { port.setPortOpen(true); }), InvalidPortNumber);
    port.forgetBoundDevice();
    EXPECT_EQ(port.boundDevice().name, QString());
    port.setPortOpen(true);
    EXPECT_TRUE(Reaches(uart));
    EXPECT_EQ(port.boundDevice().name, uart.slavePath());
}

} // namespace
} // namespace orbalis
