#include "console/about_box.h"
#include "console/main_window.h"
#include "console/message_box_reporter.h"
#include "core/polling_cycle.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "base/program_version.h"
#include "model/live_value_table.h"
#include "mqttsetup/mqtt_setting_window.h"
#include "link/frames.h"
#include "settings/settings_store.h"
#include "support/accessibility.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

// Remembers whether the settings file existed when the port was opened.
class CheckingPort : public test::FakeSerialPort {
public:
    void setPortOpen(bool open) override
    {
        if (open)
            fileExistedAtOpen = QFile::exists(settingsPath);
        FakeSerialPort::setPortOpen(open);
    }
    QString settingsPath;
    bool fileExistedAtOpen = false;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(dir.isValid());
        console.programDir = dir.path();
        console.clock = &clock;
        port.settingsPath = console.settingsPath();
        window = std::make_unique<FM_Orbalis>(console, port, reporter);
    }

    // A settings file with the given serial settings and bound slots.
    void writeSettings(const SerialSettings &serial, const QMap<int, QString> &ids = {})
    {
        SettingsModel model;
        model.serial = serial;
        for (auto it = ids.begin(); it != ids.end(); ++it)
            model.panel.IdText[size_t(it.key())] = it.value();
        Fill_Default_Settings(model);
        saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, model);
    }

    QString panel(int n) { return window->StatusBar1().text(n); }

    QTemporaryDir dir;
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    Console console;
    CheckingPort port;
    test::FakeReporter reporter;
    std::unique_ptr<FM_Orbalis> window;
};

} // namespace

TEST_F(MainWindowTest, FirstStartWritesDefaultsThenOpensCom1AndPolls)
{
    window->Form_Load();
    EXPECT_EQ(window->windowTitle(), "Orbalis");
    EXPECT_TRUE(port.fileExistedAtOpen);
    EXPECT_EQ(QFileInfo(console.settingsPath()).size(), 896);
    EXPECT_EQ(port.openedPorts, QList<int>{1});
    EXPECT_EQ(port.openedSettings, QStringList{"19200,N,8,2"});
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(panel(2), "");
    EXPECT_TRUE(window->Timer_Read().isEnabled());
    EXPECT_EQ(window->Timer_Read().interval(), 100);
    EXPECT_FALSE(window->Timer_Write().isEnabled());
    EXPECT_EQ(console.line.Para_Slot(), 16);
    EXPECT_EQ(reporter.beeps, 1);   // the start beep, and no error box
    EXPECT_TRUE(reporter.messages.isEmpty());
}

TEST_F(MainWindowTest, StoredPortAndFramingAreUsed)
{
    writeSettings({"COM10", "9600", "1", "7", "Even"});
    window->Form_Load();
    EXPECT_EQ(port.openedPorts, QList<int>{10});
    EXPECT_EQ(port.openedSettings, QStringList{"9600,E,7,1"});
}

TEST_F(MainWindowTest, ClosedPortSettingOpensNothingAndDoesNotPoll)
{
    writeSettings({"CLOSE", "", "", "", ""});
    window->Form_Load();
    EXPECT_EQ(port.openCalls, 0);
    EXPECT_EQ(panel(2), "Serial port is close !");
    EXPECT_FALSE(window->Timer_Read().isEnabled());
}

TEST_F(MainWindowTest, MissingDeviceIsReportedInTheStatusBarAndRetriedByPolling)
{
    writeSettings({"COM1", "19200", "2", "8", "None"}, {{0, "001"}});
    port.refuseOpen = true;
    window->Form_Load();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(panel(2), "Serial port is not open !");
    EXPECT_TRUE(window->Timer_Read().isEnabled());
    EXPECT_TRUE(reporter.messages.isEmpty());

    // The send is dropped; the next tick's reply read finds the port closed
    // and opens it again.
    port.refuseOpen = false;
    window->polling().Timer_Read_Timer();
    EXPECT_FALSE(port.PortOpen());
    window->polling().Timer_Read_Timer();
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(panel(2), "Serial port error ! ;error number = 8018");
}

TEST_F(MainWindowTest, UnwritableSettingsFileIsReportedAndStartGoesOn)
{
    QDir(dir.path()).mkdir("User Setting.ini");   // a folder where the file should be
    window->Form_Load();
    ASSERT_FALSE(reporter.messages.isEmpty());
    for (const QString &m : reporter.messages)
        EXPECT_TRUE(m.startsWith("At FM_Orbalis_Load()\r\nWrong code: ")) << m.toStdString();
    EXPECT_EQ(reporter.titles.front(), "Attention! Wrong");
    // The defaults in memory still open the port.
    EXPECT_EQ(port.openedPorts, QList<int>{1});
    EXPECT_EQ(console.settings.serial.Baud, "19200");
}

TEST_F(MainWindowTest, ExitClosesThePortAndWritesRecordSevenOnly)
{
    writeSettings({"COM2", "19200", "2", "8", "None"}, {{0, "001"}});
    window->Form_Load();
    const QByteArray before = test::readFile(console.settingsPath());
    console.slots.Slot_DP_Code[3] = 50;

    window->File_Click(6);

    EXPECT_FALSE(port.PortOpen());
    const QByteArray after = test::readFile(console.settingsPath());
    ASSERT_EQ(after.size(), 896);
    EXPECT_EQ(after.left(768), before.left(768));   // records 1 to 6 untouched
    SettingsFile file(console.settingsPath());
    file.open();
    SettingsModel read;
    Read_User_Setting(file, 7, read);
    EXPECT_EQ(read.panel.DecimalText[3], "50");
    EXPECT_EQ(read.panel.DecimalText[0], "48");
}

TEST_F(MainWindowTest, MenusOfferExitAndSettingsWithInactiveEntriesGreyed)
{
    QStringList captions;
    QList<bool> enabled;
    for (QAction *a : window->fileMenu()->actions()) {
        captions << (a->isSeparator() ? "-" : a->text());
        enabled << a->isEnabled();
    }
    EXPECT_EQ(captions, (QStringList{"New", "Open", "Close", "-", "Save As", "-", "Exit"}));
    EXPECT_FALSE(enabled[0]);
    EXPECT_FALSE(enabled[1]);
    EXPECT_FALSE(enabled[2]);
    EXPECT_FALSE(enabled[4]);
    EXPECT_TRUE(enabled[6]);
    QStringList sub;
    for (QAction *a : window->fileMenu()->actions()[0]->menu()->actions())
        sub << a->text();
    EXPECT_EQ(sub, (QStringList{"Setting", "Parameter", "Record"}));

    QStringList settings;
    for (QAction *a : window->settingMenu()->actions())
        settings << a->text();
    EXPECT_EQ(settings, (QStringList{"Communication", "Panel", "Line Monitor", "MQTT"}));
    EXPECT_EQ(window->settingMenu()->title(), "Setting");
    // "MQTT" opens its window, made once and kept.
    EXPECT_EQ(window->mqttSetting(), nullptr);
    window->settingMenu()->actions()[3]->trigger();
    ASSERT_NE(window->mqttSetting(), nullptr);
    EXPECT_TRUE(window->mqttSetting()->isVisible());
    EXPECT_EQ(window->mqttSetting()->windowTitle(), "MQTT");
    window->mqttSetting()->close();
    window->settingMenu()->actions()[3]->trigger();
    EXPECT_TRUE(window->mqttSetting()->isVisible());
    window->mqttSetting()->close();

    for (QAction *a : window->menuBar()->actions()) {
        if (a->text() == "Help") {
            EXPECT_FALSE(a->isVisible());
        }
    }

    const auto found = test::accessibleNames(window.get());
    EXPECT_TRUE(test::hasAccessible(found, "Status 1", {QAccessible::StaticText}));
    EXPECT_TRUE(test::hasAccessible(found, "Status 2", {QAccessible::StaticText}));
}

TEST_F(MainWindowTest, AboutBoxTellsTheVersionAndTheProgramFolder)
{
    QAction *about = nullptr;
    for (QAction *menu : window->menuBar()->actions())
        if (menu->text() == "View" && menu->isVisible())
            for (QAction *a : menu->menu()->actions())
                if (a->text() == "About Orbalis")
                    about = a;
    ASSERT_NE(about, nullptr);
    about->trigger();
    about->trigger();   // created once, brought forward
    EXPECT_EQ(window->findChildren<AboutBox *>().size(), 1);
    ASSERT_NE(window->aboutBox(), nullptr);
    EXPECT_TRUE(window->aboutBox()->isVisible());

    QStringList texts;
    for (const QLabel *label : window->aboutBox()->findChildren<QLabel *>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Version " + programVersion())) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains("Program folder (settings, records, ports): " + dir.path()))
        << texts.join('|').toStdString();
    const auto found = test::accessibleNames(window->aboutBox());
    EXPECT_TRUE(test::hasAccessible(found, "Close", {QAccessible::Button}));
}

TEST_F(MainWindowTest, PanelSettingsWindowIsCreatedOnceAndBroughtForward)
{
    window->Form_Load();
    window->Option_Click(1);
    QWidget *first = reinterpret_cast<QWidget *>(window->tableSetting());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), "Panel Settings");
    window->Option_Click(1);
    EXPECT_EQ(reinterpret_cast<QWidget *>(window->tableSetting()), first);
}

TEST_F(MainWindowTest, PollsBoundSlotAndShowsTheReplyInTheStatusBar)
{
    writeSettings({"COM1", "19200", "2", "8", "None"}, {{2, "005"}});
    // Controller 5 answers every live-value read with 30 registers.
    port.onOutput = [&](const QByteArray &request) {
        if (request.size() == 8 && quint8(request[0]) == 5 && request[1] == 4) {
            std::vector<std::uint16_t> registers(30);
            for (int i = 0; i < 30; ++i)
                registers[size_t(i)] = std::uint16_t(i);
            port.received = test::readReply(5, 4, registers);
        }
    };
    window->Form_Load();
    window->polling().Timer_Read_Timer();   // sends to controller 5
    ASSERT_EQ(port.outputs.size(), 1);
    EXPECT_EQ(port.outputs[0].toHex(' '), "05 04 10 00 00 1e 75 46");
    window->polling().Timer_Read_Timer();   // judges the reply
    EXPECT_EQ(panel(1), "No.3 Slot ; ID = 5");
    EXPECT_EQ(panel(2), "Read PV ... Check CRC Ok !");
    EXPECT_EQ(window->liveValues().text(4098), "0.2");   // register 2 as tenths
}

TEST_F(MainWindowTest, SlotClicksToggleRecordingMarkerAndPickTheParameterSlot)
{
    writeSettings({"CLOSE", "19200", "2", "8", "None"}, {{3, "007"}});
    window->Form_Load();
    window->resize(800, 700);
    window->show();
    QApplication::processEvents();

    SlotPicture *bound = window->Pic_All().Pic_Control(3);
    auto at = [](SlotPicture *p, double x, double y) {
        return QPoint(int(x * p->width() / 60.0), int(y * p->height() / 70.0));
    };
    QTest::mouseClick(bound, Qt::LeftButton, {}, at(bound, 5, 5));
    EXPECT_TRUE(console.slots.Record_Flag[3]);
    QTest::mouseClick(bound, Qt::LeftButton, {}, at(bound, 5, 5));
    EXPECT_FALSE(console.slots.Record_Flag[3]);
    QTest::mouseClick(bound, Qt::LeftButton, {}, at(bound, 15, 5));
    EXPECT_TRUE(console.slots.Mark_Flag[3]);
    QTest::mouseClick(bound, Qt::RightButton, {}, at(bound, 45, 5));
    EXPECT_EQ(console.line.Para_Slot(), 16);
    QTest::mouseClick(bound, Qt::LeftButton, {}, at(bound, 45, 5));
    EXPECT_EQ(console.line.Para_Slot(), 3);

    SlotPicture *unbound = window->Pic_All().Pic_Control(4);
    QTest::mouseClick(unbound, Qt::LeftButton, {}, at(unbound, 5, 5));
    EXPECT_FALSE(console.slots.Record_Flag[4]);
    window->hide();
}

// --- Message boxes ---------------------------------------------------------------

namespace {

QList<QMessageBox *> openBoxes(const QWidget &owner)
{
    QList<QMessageBox *> open;
    for (QMessageBox *box : owner.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            open.append(box);
    }
    return open;
}

} // namespace

TEST(MessageBoxReporterTest, AWarningNeverWaitsForItsBoxAndIsNotStackedOnAnOpenTwin)
{
    test::qtApp();
    QWidget owner;
    owner.show();
    MessageBoxReporter reporter(&owner);
    const QString title = QStringLiteral("Attention! Wrong");
    const QString text = QStringLiteral("Your record file /tmp/240303 5.Csv could not be written\r\n"
                                        "Record has been interrupted");

    // A warn() that waits for its box would still wait here: close it and fail.
    bool inWarn = false;
    bool waited = false;
    QTimer::singleShot(2000, &owner, [&] {
        if (!inWarn)
            return;
        waited = true;
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    inWarn = true;
    reporter.warn(title, text);
    inWarn = false;
    ASSERT_FALSE(waited) << "warn() waited for its box to be closed";

    const QList<QMessageBox *> first = openBoxes(owner);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0]->windowTitle(), title);
    EXPECT_EQ(first[0]->text(), text);
    EXPECT_EQ(first[0]->icon(), QMessageBox::Warning);

    reporter.warn(title, text);
    EXPECT_EQ(openBoxes(owner).size(), 1) << "a second box on its open twin";
    reporter.warn(title, text + QStringLiteral(" again"));
    EXPECT_EQ(openBoxes(owner).size(), 2);

    // Once its twin is closed with OK, the same message shows again.
    QTest::mouseClick(first[0]->button(QMessageBox::Ok), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(openBoxes(owner).size(), 1);
    reporter.warn(title, text);
    int twins = 0;
    for (QMessageBox *box : openBoxes(owner))
        twins += box->text() == text;
    EXPECT_EQ(twins, 1);
    EXPECT_EQ(openBoxes(owner).size(), 2);
}
