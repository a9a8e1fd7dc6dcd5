// The serial settings window over a fake port: picks, "Close", "Cancel", the
// port list from a fake device list, and what screen readers find.

#include "serial_setting_fixture.h"

#include "link/qt_serial_port.h"
#include "serialsetup/usb_latency_timer.h"

#include "support/accessibility.h"
#include "support/files.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <functional>

using namespace orbalis;
using namespace orbalis::test;

namespace {

class SerialSettingWindowTest : public SerialSettingFixture {};

struct PickCase {
    const char *name;
    std::function<void(SerialSettingWindowTest &)> act;
    bool closeAndCancel;
};

} // namespace

TEST_F(SerialSettingWindowTest, CloseAndCancelFollowThePicksNotTheTyping)
{
    const PickCase cases[] = {
        {"the applied value", [](auto &t) { t.pick(SerialField::Baud, QStringLiteral("19200")); }, false},
        {"a different value", [](auto &t) { t.pick(SerialField::Party, QStringLiteral("Even")); }, true},
        {"the old value back",
         [](auto &t) {
             t.pick(SerialField::Stop, QStringLiteral("1"));
             t.pick(SerialField::Stop, QStringLiteral("2"));
         },
         false},
        {"typing without a pick",
         [](auto &t) {
             t.window->Combo_Control_Baud()->lineEdit()->selectAll();
             QTest::keyClicks(t.window->Combo_Control_Baud()->lineEdit(), QStringLiteral("4800"));
         },
         false},
    };
    for (const PickCase &c : cases) {
        SCOPED_TRACE(c.name);
        open();
        EXPECT_FALSE(closeEnabled());
        c.act(*this);
        EXPECT_EQ(closeEnabled(), c.closeAndCancel);
        EXPECT_EQ(cancelEnabled(), c.closeAndCancel);
    }

    // A typed text goes with the next pick; "Cancel" puts back what is in
    // use and touches neither port nor file, "Close" applies all five.
    EXPECT_EQ(window->Combo_Control_Baud()->currentText(), QStringLiteral("4800"));
    pick(SerialField::Port, QStringLiteral("COM7"));
    const int opens = port.openCalls;
    window->Command1_Click(2);
    EXPECT_FALSE(closeEnabled());
    EXPECT_FALSE(cancelEnabled());
    EXPECT_EQ(window->Combo_Control_Port()->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(window->Combo_Control_Baud()->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(port.openCalls, opens);
    EXPECT_EQ(record1().Port, QStringLiteral("COM1"));
    window->Combo_Control_Baud()->lineEdit()->setText(QStringLiteral("4800"));
    pick(SerialField::Data, QStringLiteral("7"));
    ASSERT_TRUE(closeEnabled());
    QTest::mouseClick(window->Command1(1), Qt::LeftButton);
    EXPECT_EQ(port.openedSettings.last(), QStringLiteral("4800,N,7,2"));
    EXPECT_EQ(record1().Baud, QStringLiteral("4800"));
    EXPECT_FALSE(closeEnabled());
    EXPECT_FALSE(cancelEnabled());
}

TEST_F(SerialSettingWindowTest, ApplyingSetsPortRecordStatusAndPolling)
{
    struct Case {
        const char *name;
        QString port;
        QStringList framing;   // baud, stop, data, parity
        QString stored;
        QString status;        // panel 2 of the main window afterwards
        bool polling;
        QString settingsText;  // of the last open, when it opens
    };
    const Case cases[] = {
        {"CLOSE", QStringLiteral("CLOSE"), {}, QStringLiteral("CLOSE"), QStringLiteral("Serial port is close !"),
         false, {}},
        {"COM3",
         QStringLiteral("COM3"),
         {QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("None")},
         QStringLiteral("COM3"),
         QStringLiteral("before"),
         true,
         QStringLiteral("19200,N,8,2")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        port.setPortOpen(false);
        SetUp();
        mainStatus.setText(2, QStringLiteral("before"));
        timerRead.setEnabled(false);
        console.line.awaitLiveReply();
        open();
        pick(SerialField::Port, c.port);
        if (!c.framing.isEmpty()) {
            pick(SerialField::Baud, c.framing[0]);
            pick(SerialField::Stop, c.framing[1]);
            pick(SerialField::Data, c.framing[2]);
            pick(SerialField::Party, c.framing[3]);
        }
        window->Command1_Click(1);
        EXPECT_EQ(record1().Port, c.stored);
        EXPECT_EQ(console.settings.serial.Port, c.stored);
        EXPECT_EQ(mainStatus.text(2), c.status);
        EXPECT_EQ(timerRead.isEnabled(), c.polling);
        EXPECT_EQ(startEnabled(), c.polling);
        EXPECT_EQ(stopEnabled(), c.polling);
        EXPECT_EQ(port.PortOpen(), c.polling);
        if (c.polling) {
            EXPECT_EQ(console.line.Read_State(), ReadState::Select);
            EXPECT_EQ(port.openedPorts.last(), 3);
            EXPECT_EQ(port.openedSettings.last(), c.settingsText);
        }
        EXPECT_TRUE(reporter.messages.isEmpty());
    }
}

TEST_F(SerialSettingWindowTest, APortWithoutDeviceIsStoredAsCloseAndReported)
{
    QtSerialPort real{ComPortResolver(dir.path(), [] { return QList<ListedPort>(); })};
    console.line.attach(&real, &timerRead, nullptr);
    open();
    EXPECT_FALSE(startEnabled());   // loaded with the port closed
    pick(SerialField::Port, QStringLiteral("COM9"));
    window->Command1_Click(1);

    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_TRUE(reporter.messages[0].startsWith(QStringLiteral("At Control_RS232_Setting_Ok()\r\nWrong code: 8002")))
        << reporter.messages[0].toStdString();
    EXPECT_EQ(reporter.titles[0], QStringLiteral("Attention! Wrong"));
    EXPECT_EQ(window->Combo_Control_Port()->currentText(), QStringLiteral("CLOSE"));
    EXPECT_EQ(record1().Port, QStringLiteral("CLOSE"));
    EXPECT_EQ(window->settingsApply().Saved_Setting().Port, QStringLiteral("CLOSE"));
    EXPECT_EQ(mainStatus.text(2), QStringLiteral("Serial port is close !"));
    EXPECT_FALSE(timerRead.isEnabled());
    EXPECT_FALSE(startEnabled());
    console.line.attach(&port, &timerRead, nullptr);
}

TEST_F(SerialSettingWindowTest, PortListFollowsTheFirstCaseSensitiveCom)
{
    auto device = [](const char *path, std::optional<QString> name) {
        return PortDevice{QString::fromLatin1(path), std::move(name), QStringLiteral("tip of ") + path};
    };
    open({
        device("/dev/ttyUSB0", QStringLiteral("USB Serial Port (COM5)")),
        device("/dev/ttyS0", QStringLiteral("Communications Port (COM1)")),
        device("/dev/lp0", QStringLiteral("Printer port")),
        device("/dev/lower", QStringLiteral("modem (com7)")),
        device("/dev/at1", QStringLiteral("COM9)")),
        device("/dev/at2", QStringLiteral("xCOM2)")),
        device("/dev/at3", QStringLiteral("ab COM3)")),
        device("", QStringLiteral("No path (COM4)")),
        device("/dev/noname", std::nullopt),
        device("/dev/combo", QStringLiteral("Telecom COMbo adapter (COM6)")),
    });
    const QList<QStringList> expected{
        {QStringLiteral("USB Serial Port"), QStringLiteral("COM5"), QStringLiteral("tip of /dev/ttyUSB0")},
        {QStringLiteral("Communications Port"), QStringLiteral("COM1"), QStringLiteral("tip of /dev/ttyS0")},
        {QString(), QStringLiteral("COM9"), QStringLiteral("tip of /dev/at1")},
        {QString(), QStringLiteral("COM2"), QStringLiteral("tip of /dev/at2")},
        {QStringLiteral("a"), QStringLiteral("COM3"), QStringLiteral("tip of /dev/at3")},
        {QStringLiteral("Teleco"), QStringLiteral("COMbo adapter (COM6"), QStringLiteral("tip of /dev/combo")},
    };
    QTreeWidget *list = window->ListView1(0);
    auto rows = [list] {
        QList<QStringList> out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << QStringList{list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1),
                               list->topLevelItem(i)->toolTip(1)};
        return out;
    };
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Name"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Number"));

    QTest::mouseClick(window->Command1(0), Qt::LeftButton);
    QTest::mouseClick(window->Command1(0), Qt::LeftButton);
    EXPECT_EQ(*sourceCalls, 3);
    EXPECT_EQ(rows(), expected);

    // A click on the applied port changes nothing; on another one it arms "Close".
    auto clickRow = [&](int row) {
        QTreeWidgetItem *item = list->topLevelItem(row);
        list->setCurrentItem(item);
        Q_EMIT list->itemClicked(item, 0);
    };
    clickRow(1);
    EXPECT_EQ(window->Combo_Control_Port()->currentText(), QStringLiteral("COM1"));
    EXPECT_FALSE(closeEnabled());
    clickRow(0);
    EXPECT_EQ(window->Combo_Control_Port()->currentText(), QStringLiteral("COM5"));
    EXPECT_TRUE(closeEnabled());
    EXPECT_TRUE(cancelEnabled());
}

TEST_F(SerialSettingWindowTest, ScreenReadersFindEveryControlByItsCaption)
{
    open();
    const auto found = test::accessibleNames(window.get());

    const std::pair<const char *, QList<QAccessible::Role>> expected[] = {
        {"ComPort", {QAccessible::ComboBox}},     {"Baud rate", {QAccessible::ComboBox}},
        {"Stop bit", {QAccessible::ComboBox}},    {"Data bit", {QAccessible::ComboBox}},
        {"Party bit", {QAccessible::ComboBox}},   {"Close", {QAccessible::Button}},
        {"Cancel", {QAccessible::Button}},        {"Search", {QAccessible::Button}},
        {"Start", {QAccessible::Button}},         {"Stop", {QAccessible::Button}},
        {"Continuous", {QAccessible::RadioButton}},
        {"Poll at line rate", {QAccessible::CheckBox}},
        {"Available ComPort", {QAccessible::Tree, QAccessible::List, QAccessible::Table}},
        {"Auto Scan", {QAccessible::Tree, QAccessible::List, QAccessible::Table}},
    };
    for (const auto &[name, roles] : expected) {
        bool match = false;
        for (QAccessible::Role role : roles)
            match = match || test::hasAccessible(found, QString::fromUtf8(name), {role});
        EXPECT_TRUE(match) << name;
    }
}

TEST_F(SerialSettingWindowTest, PollAtLineRateShowsTheChoiceTakesEffectAtOnceAndIsKeptInOrbalisIni)
{
    const QString ini = dir.filePath(QStringLiteral("Orbalis.ini"));
    const QByteArray userSettings = readFile(console.settingsPath());
    const struct {
        bool before;
        bool clickTo;
        bool iniIsAFolder;   // Orbalis.ini cannot be written
    } cases[] = {{false, true, false}, {true, false, false}, {false, true, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " -> " << c.clickTo << (c.iniIsAFolder ? ", unwritable" : ""));
        QFile::remove(ini);
        QDir(ini).removeRecursively();
        if (c.iniIsAFolder) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Orbalis.ini")));
        }
        reporter.messages.clear();
        console.lineRate = {c.before, 2};
        open();
        QCheckBox *box = window->lineRateBox();
        EXPECT_EQ(box->text(), QStringLiteral("Poll at line rate"));
        EXPECT_EQ(box->isChecked(), c.before);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        EXPECT_EQ(box->isChecked(), c.clickTo);
        // In force for this run either way.
        EXPECT_EQ(console.lineRate.on, c.clickTo);
        if (c.iniIsAFolder) {
            ASSERT_EQ(reporter.messages.size(), 1);
            EXPECT_TRUE(reporter.messages[0].contains(QStringLiteral("lineRateClick"))) << reporter.messages[0].toStdString();
        } else {
            EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
            const QByteArray stored = readFile(ini);
            EXPECT_TRUE(stored.contains(c.clickTo ? "line_rate=true" : "line_rate=false")) << stored.constData();
            EXPECT_TRUE(stored.contains("guard_ms=2")) << stored.constData();
        }
        // Not a change of the port's settings: "Close" stays off, the record is untouched.
        EXPECT_FALSE(closeEnabled());
        EXPECT_EQ(readFile(console.settingsPath()), userSettings);
        window.reset();
    }
}

TEST(UsbLatencyTimer, TheAdaptersLatencyIsInThePortsTooltipWhereLinuxShowsIt)
{
    QTemporaryDir sys;
    auto latencyFile = [&](const char *tty, const QByteArray &value) {
        const QString folder = sys.filePath(QStringLiteral("bus/usb-serial/devices/") + QLatin1String(tty));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(writeFile(folder + QStringLiteral("/latency_timer"), value));
    };
    latencyFile("ttyUSB0", "16\n");
    latencyFile("ttyUSB1", "1\n");
    latencyFile("ttyUSB2", "fast\n");
    latencyFile("ttyUSB3", "");
    const struct {
        const char *device;
        std::optional<int> ms;
        const char *line;   // the tooltip's line; nullptr for none
    } cases[] = {
        {"/dev/ttyUSB0", 16, "USB latency timer: 16 ms (replies arrive up to 16 ms late; the README shows a udev rule "
                             "that sets 1 ms)"},
        {"/dev/ttyUSB1", 1, "USB latency timer: 1 ms"},
        {"/dev/ttyUSB2", std::nullopt, nullptr},
        {"/dev/ttyUSB3", std::nullopt, nullptr},
        {"/dev/ttyUSB9", std::nullopt, nullptr},   // gone, or no adapter
        {"/dev/ttyS0", std::nullopt, nullptr},
    };
    for (const auto &c : cases) {
        const QString device = QString::fromLatin1(c.device);
        EXPECT_EQ(usbLatencyTimerMs(device, sys.path()), c.ms) << c.device;
        ComPortEntry entry;
        entry.number = 3;
        entry.device = device;
        const QStringList lines = portDetails(entry, sys.path()).split(u'\n');
        const QStringList latency = lines.filter(QStringLiteral("latency"));
        if (c.line) {
            EXPECT_EQ(latency, QStringList{QString::fromLatin1(c.line)}) << c.device;
            // Before the access line, which stays last.
            EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Access: "))) << c.device;
        } else {
            EXPECT_TRUE(latency.isEmpty()) << c.device << ": " << latency.join(u'|').toStdString();
        }
    }
}
