#pragma once

#include "console/main_window.h"
#include "link/qt_serial_port.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/simulator.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace orbalis::test {

// A fresh program folder with orbalis-sim on its ports/COM1 and the
// simulator's traffic log to check what went over the line. A test writes
// its settings, starts the simulator, then opens what it tests on the real
// port. It makes no application object: the test makes the one it needs.
class SimulatorFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        if (!simulatorBuilt())
            GTEST_SKIP() << "orbalis-sim is not built next to the tests";
        console.programDir = dir.path();
        logPath = dir.filePath(QStringLiteral("traffic.log"));
    }

    void TearDown() override { sim.stop(); }

    // Settings on COM1 at 19200,N,8,2, for the test to bind its slots in.
    static SettingsModel lineSettings()
    {
        SettingsModel model;
        model.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"),
                        QStringLiteral("None")};
        return model;
    }

    // The settings file of the program folder, every text not given at its
    // default; the console's settings become the same.
    void saveSettings(SettingsModel model)
    {
        Fill_Default_Settings(model);
        saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, model);
        console.settings = model;
    }

    // The simulator with these controllers, the traffic log and further options.
    void startSimulator(const QString &ids, const QStringList &options = {})
    {
        ASSERT_TRUE(sim.start(dir.path(), 1,
                              QStringList{QStringLiteral("--ids"), ids, QStringLiteral("--log"), logPath} + options,
                              15000))
            << sim.said().constData();
    }

    // Requests the simulator has logged so far (the lines "time <- bytes").
    qsizetype requestsLogged() const
    {
        QFile f(logPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count(" <- ") : 0;
    }

    QTemporaryDir dir;
    Console console;
    FakeReporter reporter;
    QString logPath;
    SimulatedLine sim;
};

// The whole console as a user starts it: its main window on the real port,
// against the simulator of the program folder.
class ConsoleOverSimulator : public SimulatorFolder {
protected:
    void SetUp() override
    {
        qtApp();
        SimulatorFolder::SetUp();
    }

    void TearDown() override
    {
        closeConsole();
        SimulatorFolder::TearDown();
    }

    // The console's start on the real port; the port must open.
    void openConsole()
    {
        port = std::make_unique<QtSerialPort>(ComPortResolver(dir.path()));
        window = std::make_unique<FM_Orbalis>(console, *port, reporter);
        window->Form_Load();
        ASSERT_TRUE(port->PortOpen());
    }

    void showConsole()
    {
        window->resize(800, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // The console shown and polling simulated controller 5, bound alone to
    // the third slot: where each window's test over AT-SPI starts.
    void showConsoleWithControllerFive(const QString &slotName = {}, const QStringList &simulatorOptions = {})
    {
        SettingsModel settings = lineSettings();
        settings.panel.IdText[2] = QStringLiteral("005");
        if (!slotName.isEmpty())
            settings.panel.NameText[2] = slotName;
        saveSettings(settings);
        startSimulator(QStringLiteral("5"), simulatorOptions);
        openConsole();
        showConsole();
    }

    // The console's end: the timers stop and the port closes.
    void closeConsole()
    {
        if (window) {
            window->Form_Unload();
            window->hide();
        }
        window.reset();
        port.reset();
    }

    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<FM_Orbalis> window;
};

} // namespace orbalis::test
