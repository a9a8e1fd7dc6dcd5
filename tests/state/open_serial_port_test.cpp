#include "state/open_serial_port.h"

#include "base/error.h"
#include "support/fake_serial_port.h"

#include <gtest/gtest.h>

namespace orbalis {
namespace {

SerialSettings Defaults(const QString &port)
{
    return {port, QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("None")};
}

TEST(PortNumber, LeadingNumberAfterThreeCharacters)
{
    EXPECT_EQ(portNumber(QStringLiteral("COM1")), 1);
    EXPECT_EQ(portNumber(QStringLiteral("COM7")), 7);
    EXPECT_EQ(portNumber(QStringLiteral("COM12")), 12);
    EXPECT_EQ(portNumber(QStringLiteral("  COM10  ")), 10);
    EXPECT_EQ(portNumber(QStringLiteral("COM3x")), 3);
    EXPECT_EQ(portNumber(QStringLiteral("COM")), 0);
    EXPECT_EQ(portNumber(QStringLiteral("CLOSE")), 0);
    // Beyond a 16-bit port number there is no port.
    EXPECT_EQ(portNumber(QStringLiteral("COM99999")), 0);
    EXPECT_EQ(portNumber(QStringLiteral("COM1e30")), 0);
}

TEST(PortSettingsText, ParityLetterAndNoBlanks)
{
    EXPECT_EQ(portSettingsText(Defaults(QStringLiteral("COM1"))), QStringLiteral("19200,N,8,2"));
    SerialSettings s = Defaults(QStringLiteral("COM1"));
    s.Parity = QStringLiteral("Even");
    EXPECT_EQ(portSettingsText(s), QStringLiteral("19200,E,8,2"));
    s.Parity = QStringLiteral("  Odd");
    s.Baud = QStringLiteral("9600");
    s.StopBits = QStringLiteral("1");
    s.DataBits = QStringLiteral("7");
    EXPECT_EQ(portSettingsText(s), QStringLiteral("9600,O,7,1"));
}

TEST(OpenSerialPort, OpensTheNamedPortWithItsSettings)
{
    test::FakeSerialPort port;
    Open_Serial_Port(port, Defaults(QStringLiteral("COM10")));
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.openedPorts, QList<int>{10});
    EXPECT_EQ(port.openedSettings, QStringList{QStringLiteral("19200,N,8,2")});

    test::FakeSerialPort other;
    SerialSettings even = Defaults(QStringLiteral("COM1"));
    even.Parity = QStringLiteral("Even");
    Open_Serial_Port(other, even);
    EXPECT_EQ(other.openedPorts, QList<int>{1});
    EXPECT_EQ(other.openedSettings, QStringList{QStringLiteral("19200,E,8,2")});
}

TEST(OpenSerialPort, CloseLeavesThePortAsItIs)
{
    test::FakeSerialPort closed;
    Open_Serial_Port(closed, Defaults(QStringLiteral("CLOSE")));
    EXPECT_FALSE(closed.PortOpen());
    EXPECT_EQ(closed.openCalls, 0);

    test::FakeSerialPort open;
    Open_Serial_Port(open, Defaults(QStringLiteral("COM2")));
    Open_Serial_Port(open, Defaults(QStringLiteral("CLOSE")));
    EXPECT_TRUE(open.PortOpen());
    EXPECT_EQ(open.closeCalls, 0);
    EXPECT_EQ(open.CommPort(), 2);
}

TEST(OpenSerialPort, ReopensAnOpenPortWithNewSettings)
{
    test::FakeSerialPort port;
    Open_Serial_Port(port, Defaults(QStringLiteral("COM1")));
    port.received = QByteArrayLiteral("stale");
    SerialSettings changed = Defaults(QStringLiteral("COM4"));
    changed.Baud = QStringLiteral("9600");
    Open_Serial_Port(port, changed);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.closeCalls, 1);
    EXPECT_EQ(port.openedPorts, (QList<int>{1, 4}));
    EXPECT_EQ(port.openedSettings.last(), QStringLiteral("9600,N,8,2"));
    EXPECT_TRUE(port.received.isEmpty());
}

TEST(OpenSerialPort, RefusedOpenLeavesThePortClosedSilently)
{
    test::FakeSerialPort port;
    Open_Serial_Port(port, Defaults(QStringLiteral("COM1")));
    port.refuseOpen = true;
    EXPECT_NO_THROW(Open_Serial_Port(port, Defaults(QStringLiteral("COM9"))));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.openCalls, 2);
    // Later attempts keep trying and succeed once the device is there.
    port.refuseOpen = false;
    Open_Serial_Port(port, Defaults(QStringLiteral("COM9")));
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(port.openedPorts.last(), 9);
}

// A port that cannot be closed keeps its number; opening anyway would be
// refused at best and talk to the old device at worst.
class StuckOpenPort : public test::FakeSerialPort {
public:
    void setPortOpen(bool open) override
    {
        if (!open)
            throw Error(DeviceNotOpen);
        FakeSerialPort::setPortOpen(open);
    }
};

TEST(OpenSerialPort, NoOpenWhenThePortNumberCouldNotBeSet)
{
    StuckOpenPort port;
    port.FakeSerialPort::setPortOpen(true);
    const int before = port.openCalls;
    EXPECT_NO_THROW(Open_Serial_Port(port, Defaults(QStringLiteral("COM5"))));
    EXPECT_EQ(port.openCalls, before);
    EXPECT_EQ(port.CommPort(), 1);
    EXPECT_EQ(port.Settings(), QStringLiteral("19200,N,8,2"));
}

} // namespace
} // namespace orbalis
