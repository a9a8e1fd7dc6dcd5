#include "link/frames.h"
#include "state/open_serial_port.h"
#include "link/pseudo_terminal.h"
#include "link/qt_serial_port.h"

#include "link_test_helpers.h"
#include "support/qt_app.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orbalis {
namespace {

using test::Bytes;
using test::Error_Number_Of;

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
    QByteArray Input_Until(qsizetype count)
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

    QByteArray Master_Read(qsizetype count) { return pty.readAtLeast(count, 2000); }

    QTemporaryDir programDir;
    PseudoTerminal pty;
    QtSerialPort port{ComPortResolver(programDir.path(), [] { return QList<ListedPort>{}; })};
};

TEST_F(QtSerialPortTest, RawBytesBothWays)
{
    Open();
    const QByteArray special = Bytes({0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x0D, 0x0A, 0x7F, 0x03, 0x1A, 0x04});
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));

    port.Output(special);
    EXPECT_EQ(Master_Read(special.size()), special);
    port.Output(all);
    EXPECT_EQ(Master_Read(all.size()), all);

    pty.write(special);
    EXPECT_EQ(Input_Until(special.size()), special);
    pty.write(all);
    EXPECT_EQ(Input_Until(all.size()), all);
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
    EXPECT_EQ(Input_Until(burst.size()), burst);
    EXPECT_TRUE(port.Input().isEmpty());
}

TEST_F(QtSerialPortTest, InputTakesWhatArrivedBeforeItInOneCall)
{
    Open();
    const QByteArray reply = Bytes({0x01, 0x03, 0x02, 0x00, 0xFA, 0x38, 0x07});
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
    pty.write(With_Crc(Bytes({0x01, 0x03, 0x02, 0x12, 0x34})));
    pty.readFor(50);
    Send_Read_Request(port, line, 1, 4096, 30);
    EXPECT_EQ(Master_Read(8), Bytes({0x01, 0x04, 0x10, 0x00, 0x00, 0x1E, 0x74, 0xC2}));

    const QByteArray reply = With_Crc(Bytes({0x01, 0x04, 0x02, 0x00, 0x0D}));
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
    pty.write(Bytes({0x42}));
    EXPECT_EQ(Input_Until(1), Bytes({0x42}));
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
    const int number = Error_Number_Of([&] { port.setPortOpen(true); });
    EXPECT_EQ(number, DeviceControlBlock);
    EXPECT_FALSE(port.PortOpen());
    // The same device opens again with settings it takes.
    Open();
}

TEST_F(QtSerialPortTest, ClosedPortRefusesInputAndOutput)
{
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(Error_Number_Of([&] { port.Input(); }), PortNotOpen);
    EXPECT_EQ(Error_Number_Of([&] { port.Output(Bytes({1})); }), PortNotOpen);
    Open();
    port.setPortOpen(false);
    EXPECT_EQ(Error_Number_Of([&] { port.Input(); }), PortNotOpen);
    EXPECT_NO_THROW(port.setPortOpen(false));
}

TEST_F(QtSerialPortTest, PortNumberIsFixedWhileOpen)
{
    Open();
    EXPECT_EQ(Error_Number_Of([&] { port.setCommPort(4); }), InvalidPortNumber);
    EXPECT_EQ(port.CommPort(), 3);
    EXPECT_EQ(Error_Number_Of([&] { port.setPortOpen(true); }), InvalidPortNumber);
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(QtSerialPortTest, OpenFailuresLeaveThePortClosed)
{
    port.setCommPort(7);   // nothing bound, nothing listed
    EXPECT_EQ(Error_Number_Of([&] { port.setPortOpen(true); }), InvalidPortNumber);
    EXPECT_FALSE(port.PortOpen());

    port.setCommPort(3);
    for (const char *bad : {"19200,X,8,2", "19200,N,9,2", "19200,N,8,3", "fast,N,8,2", "19200,N,8", "", "0,N,8,1"}) {
        port.setSettings(QLatin1String(bad));
        EXPECT_EQ(Error_Number_Of([&] { port.setPortOpen(true); }), DeviceControlBlock) << bad;
        EXPECT_FALSE(port.PortOpen()) << bad;
    }

    // A link whose device is gone binds the name but cannot be opened.
    pty.close();
    PseudoTerminal other;
    port.setSettings(QStringLiteral("19200,N,8,2"));
    ASSERT_TRUE(QFile::link(programDir.filePath(QStringLiteral("nowhere")),
                            programDir.filePath(QStringLiteral("ports/COM3"))));
    EXPECT_EQ(Error_Number_Of([&] { port.setPortOpen(true); }), InvalidPortNumber);
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
    EXPECT_EQ(Error_Number_Of([&] { port.setSettings(QStringLiteral("4800,Q,8,2")); }), DeviceControlBlock);
}

TEST_F(QtSerialPortTest, DeviceGoingAwayRaisesAPortErrorWithoutHanging)
{
    Open();
    pty.write(Bytes({0x01}));
    EXPECT_EQ(Input_Until(1), Bytes({0x01}));

    pty.close();   // the other end hangs up
    QElapsedTimer clock;
    clock.start();
    const int number = Error_Number_Of([&] { port.Input(); });
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(number == DeviceNotOpen || number == ReadError) << number;
    // It stays an error rather than turning into a quiet line.
    const int again = Error_Number_Of([&] { port.Input(); });
    EXPECT_TRUE(again == DeviceNotOpen || again == ReadError) << again;

    // What the polling cycle then does: close, and find the device missing.
    port.setPortOpen(false);
    EXPECT_EQ(Error_Number_Of([&] { port.setPortOpen(true); }), InvalidPortNumber);
}

} // namespace
} // namespace orbalis
