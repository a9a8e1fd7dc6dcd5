#include "link/com_port_resolver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orbalis {
namespace {

class ComPortResolverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(devices.isValid());
        ASSERT_TRUE(QDir(programDir.path()).mkdir(QStringLiteral("ports")));
    }

    // A stand-in device file, so that links can point at something real.
    ListedPort Device(const QString &name, const QString &description = {})
    {
        const QString path = devices.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        ListedPort p;
        p.portName = name;
        p.systemLocation = path;
        p.description = description.isEmpty() ? name + QStringLiteral(" adapter") : description;
        return p;
    }

    // A USB adapter as udev lists it; an empty byId means no by-id link.
    ListedPort Usb(const QString &name, const QString &serial, const QString &byId = {}, int product = 0x6001)
    {
        ListedPort p = Device(name, QStringLiteral("FT232R USB UART"));
        p.vendorId = 0x0403;
        p.productId = product;
        p.serialNumber = serial;
        if (!byId.isEmpty())
            p.byIdPath = QStringLiteral("/dev/serial/by-id/") + byId;
        return p;
    }

    void Bind(int n, const QString &target)
    {
        ASSERT_TRUE(QFile::link(target, programDir.filePath(QStringLiteral("ports/COM%1").arg(n))));
    }

    ComPortResolver Resolver(QList<ListedPort> listed)
    {
        return ComPortResolver(programDir.path(), [listed] { return listed; });
    }

    QTemporaryDir programDir;
    QTemporaryDir devices;
};

TEST_F(ComPortResolverTest, UsbAdaptersFirstThenOthersInListedOrder)
{
    const auto resolver = Resolver({Device(QStringLiteral("ttyS1")), Device(QStringLiteral("ttyACM0")),
                                    Device(QStringLiteral("ttyUSB10")), Device(QStringLiteral("ttyS0")),
                                    Device(QStringLiteral("ttyUSB2"))});
    const auto e = resolver.entries();
    ASSERT_EQ(e.size(), 5);
    QStringList order;
    for (const ComPortEntry &entry : e)
        order.append(QFileInfo(entry.device).fileName());
    // ttyUSB by number (2 before 10), then ttyACM, then the rest as listed.
    EXPECT_EQ(order, (QStringList{QStringLiteral("ttyUSB2"), QStringLiteral("ttyUSB10"), QStringLiteral("ttyACM0"),
                                  QStringLiteral("ttyS1"), QStringLiteral("ttyS0")}));
    for (int i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].number, i + 1);
        EXPECT_FALSE(e[i].bound);
    }
    EXPECT_EQ(e[0].description, QStringLiteral("ttyUSB2 adapter"));
    EXPECT_EQ(QFileInfo(resolver.deviceFor(1)).fileName(), QStringLiteral("ttyUSB2"));
    EXPECT_EQ(QFileInfo(resolver.deviceFor(3)).fileName(), QStringLiteral("ttyACM0"));
    EXPECT_TRUE(resolver.deviceFor(6).isEmpty());
    EXPECT_TRUE(resolver.deviceFor(0).isEmpty());
}

TEST_F(ComPortResolverTest, LinksComeFirstAndTheirNumbersAreSkipped)
{
    const ListedPort usb0 = Device(QStringLiteral("ttyUSB0"));
    const ListedPort usb1 = Device(QStringLiteral("ttyUSB1"));
    const ListedPort acm0 = Device(QStringLiteral("ttyACM0"));
    const QString elsewhere = devices.filePath(QStringLiteral("pts7"));
    QFile(elsewhere).open(QIODevice::WriteOnly);
    Bind(1, elsewhere);
    Bind(3, elsewhere);

    const auto resolver = Resolver({acm0, usb1, usb0});
    EXPECT_EQ(resolver.deviceFor(1), programDir.filePath(QStringLiteral("ports/COM1")));
    EXPECT_EQ(resolver.deviceFor(3), programDir.filePath(QStringLiteral("ports/COM3")));
    EXPECT_EQ(resolver.deviceFor(2), usb0.systemLocation);
    EXPECT_EQ(resolver.deviceFor(4), usb1.systemLocation);
    EXPECT_EQ(resolver.deviceFor(5), acm0.systemLocation);

    const auto e = resolver.entries();
    ASSERT_EQ(e.size(), 5);
    QList<int> numbers;
    for (const ComPortEntry &entry : e)
        numbers.append(entry.number);
    EXPECT_EQ(numbers, (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(e[0].bound);
    EXPECT_FALSE(e[1].bound);
    EXPECT_TRUE(e[2].bound);
}

TEST_F(ComPortResolverTest, LinkedDeviceGetsNoSecondNumber)
{
    const ListedPort usb0 = Device(QStringLiteral("ttyUSB0"), QStringLiteral("RS-485 bridge"));
    const ListedPort usb1 = Device(QStringLiteral("ttyUSB1"));
    Bind(5, usb0.systemLocation);

    const auto resolver = Resolver({usb0, usb1});
    const auto e = resolver.entries();
    ASSERT_EQ(e.size(), 2);
    EXPECT_EQ(e[0].number, 1);
    EXPECT_EQ(e[0].device, usb1.systemLocation);
    EXPECT_EQ(e[1].number, 5);
    EXPECT_TRUE(e[1].bound);
    EXPECT_EQ(e[1].description, QStringLiteral("RS-485 bridge"));
}

TEST_F(ComPortResolverTest, DanglingLinkStillBindsItsNumber)
{
    Bind(1, devices.filePath(QStringLiteral("unplugged")));
    const ListedPort usb0 = Device(QStringLiteral("ttyUSB0"));
    const auto resolver = Resolver({usb0});
    EXPECT_EQ(resolver.deviceFor(1), programDir.filePath(QStringLiteral("ports/COM1")));
    EXPECT_EQ(resolver.deviceFor(2), usb0.systemLocation);
}

TEST_F(ComPortResolverTest, OtherEntriesInThePortsFolderAreIgnored)
{
    const QString target = Device(QStringLiteral("x")).systemLocation;
    for (const char *name : {"COM0", "com2", "COM02", "COM3.bak", "README"})
        ASSERT_TRUE(QFile::link(target, programDir.filePath(QStringLiteral("ports/") + QLatin1String(name))));
    const auto resolver = Resolver({});
    EXPECT_TRUE(resolver.entries().isEmpty());
    EXPECT_TRUE(resolver.deviceFor(2).isEmpty());
    EXPECT_TRUE(resolver.deviceFor(3).isEmpty());
}

// The device COM1 was opened on, looked for among the devices present later.
TEST_F(ComPortResolverTest, ABoundDeviceIsFoundAgainByItsIdentityAndNothingElse)
{
    const ListedPort ttyS0 = Device(QStringLiteral("ttyS0"), QStringLiteral("on-board UART"));
    const QString idA = QStringLiteral("usb-FTDI_FT232R_USB_UART_AAAA-if00-port0");
    const QString idB = QStringLiteral("usb-FTDI_FT232R_USB_UART_BBBB-if00-port0");
    struct Row {
        const char *what;
        QList<ListedPort> before;   // COM1 is bound to the first device by number
        QList<ListedPort> after;
        QString expected;           // portName of the device found; empty: none
    };
    const Row rows[] = {
        {"back under another ttyUSB number", {Usb("ttyUSB0", "AAAA", idA), ttyS0},
         {ttyS0, Usb("ttyUSB1", "AAAA", idA)}, "ttyUSB1"},
        {"pulled: the on-board UART is not taken", {Usb("ttyUSB0", "AAAA", idA), ttyS0}, {ttyS0}, {}},
        {"another adapter of the same model in its place", {Usb("ttyUSB0", "AAAA", idA), ttyS0},
         {Usb("ttyUSB0", "BBBB", idB), ttyS0}, {}},
        {"no by-id links: vendor, product and serial number", {Usb("ttyUSB0", "AAAA")},
         {Usb("ttyUSB0", "BBBB"), Usb("ttyUSB1", "AAAA")}, "ttyUSB1"},
        {"no serial number: the same model, at its old path first", {Usb("ttyUSB1", {})},
         {Usb("ttyUSB0", {}), Usb("ttyUSB1", {})}, "ttyUSB1"},
        {"no serial number: the same model elsewhere", {Usb("ttyUSB1", {})}, {Usb("ttyUSB3", {})}, "ttyUSB3"},
        {"no serial number: another model is not it", {Usb("ttyUSB0", {})},
         {Usb("ttyUSB0", {}, {}, 0x6015)}, {}},
        {"a serial port by its path, whatever COM1 is now", {ttyS0}, {Usb("ttyUSB0", "AAAA", idA), ttyS0},
         "ttyS0"},
        {"a USB adapter at the old path of a serial port is not it", {ttyS0},
         {[&] { ListedPort p = ttyS0; p.vendorId = 0x0403; p.productId = 0x6001; return p; }()}, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const auto first = Resolver(row.before).entryFor(1);
        ASSERT_TRUE(first);
        const DeviceIdentity identity = ComPortResolver::identityOf(*first);
        const auto found = Resolver(row.after).find(identity);
        EXPECT_EQ(found ? found->listed.portName : QString(), row.expected);
    }
}

TEST_F(ComPortResolverTest, ABoundLinkIsWaitedForWhereverItPointsWhenItIsBack)
{
    const ListedPort ttyS0 = Device(QStringLiteral("ttyS0"));
    const QString pts7 = Device(QStringLiteral("pts7")).systemLocation;
    Bind(1, pts7);
    const auto resolver = Resolver({ttyS0});
    const DeviceIdentity identity = ComPortResolver::identityOf(*resolver.entryFor(1));
    EXPECT_EQ(identity.text(), QStringLiteral("ports/COM1 (linked to ") + pts7 + QLatin1Char(')'));

    const QString link = programDir.filePath(QStringLiteral("ports/COM1"));
    ASSERT_TRUE(QFile::remove(link));
    // By number alone COM1 is now the on-board UART; the bound name waits.
    EXPECT_EQ(resolver.deviceFor(1), ttyS0.systemLocation);
    EXPECT_FALSE(resolver.find(identity));

    Bind(1, devices.filePath(QStringLiteral("gone")));   // leads nowhere
    EXPECT_FALSE(resolver.find(identity));

    ASSERT_TRUE(QFile::remove(link));
    Bind(1, Device(QStringLiteral("pts8")).systemLocation);   // a restarted simulator
    const auto found = resolver.find(identity);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->device, link);
}

// Without udev's by-id links the USB IDs name the adapter (the other forms
// are in the polling and port tests).
TEST_F(ComPortResolverTest, AnAdapterWithoutByIdLinkIsNamedByItsUsbIds)
{
    DeviceIdentity usb;
    usb.description = QStringLiteral("FT232R USB UART");
    usb.vendorId = 0x0403;
    usb.productId = 0x6001;
    usb.serialNumber = QStringLiteral("A1B2C3");
    EXPECT_EQ(usb.text(), QStringLiteral("FT232R USB UART (USB 0403:6001, serial number A1B2C3)"));
    usb.serialNumber.clear();
    usb.description.clear();
    EXPECT_EQ(usb.text(), QStringLiteral("USB 0403:6001"));
}

} // namespace
} // namespace orbalis
