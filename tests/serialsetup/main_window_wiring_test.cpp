// The serial settings window as the main window opens it, and as the
// parameter window's baud write reaches it.

#include "console/main_window.h"
#include "serialsetup/serial_setting_window.h"
#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/qt_app.h"

#include <QComboBox>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orbalis;

TEST(SerialSettingWiringTest, LoadedHiddenByTheBaudWriteShownByTheMenuAfreshAfterClosing)
{
    test::qtApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Console console;
    console.programDir = dir.path();
    test::FakeSerialPort port;
    test::FakeReporter reporter;
    FM_Orbalis main(console, port, reporter);
    main.Form_Load();
    ASSERT_TRUE(port.PortOpen());

    // The parameter window's baud write: the box first, then the settings it applies.
    ASSERT_TRUE(console.serialSettingsWindow);
    console.serialSettingsWindow().setComboControlBaud(QStringLiteral("9600"));
    QPointer<FM_SerialSetting> hidden = main.serialSetting();
    ASSERT_FALSE(hidden.isNull());
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(hidden->Combo_Control_Baud()->currentText(), QStringLiteral("9600"));
    console.settings.serial.Baud = QStringLiteral("9600");
    saveSettingsRecords(console.settingsPath(), {1}, console.settings);

    // A later "Cancel" keeps the rate the port now runs at.
    QComboBox *portBox = hidden->Combo_Control_Port();
    portBox->setCurrentIndex(portBox->findText(QStringLiteral("COM2")));
    Q_EMIT portBox->activated(portBox->currentIndex());
    hidden->Command1_Click(2);
    EXPECT_EQ(console.settings.serial.Baud, QStringLiteral("9600"));
    EXPECT_EQ(hidden->Combo_Control_Baud()->currentText(), QStringLiteral("9600"));

    // "Communication" shows the loaded window, once.
    main.Option_Click(0);
    EXPECT_EQ(main.serialSetting(), hidden.data());
    EXPECT_TRUE(hidden->isVisible());
    main.Option_Click(0);
    EXPECT_EQ(main.serialSetting(), hidden.data());

    // Closed, it is unloaded; the next opening loads record 1 afresh.
    hidden->close();
    console.settings.serial.Baud = QStringLiteral("4800");
    main.Option_Click(0);
    FM_SerialSetting *fresh = main.serialSetting();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, hidden.data());
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(fresh->Combo_Control_Baud()->currentText(), QStringLiteral("9600"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(hidden.isNull());
    fresh->close();
    main.Form_Unload();
}
