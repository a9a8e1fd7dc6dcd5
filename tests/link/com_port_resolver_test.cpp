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

} // namespace
} // namespace orbalis
