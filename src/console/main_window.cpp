#include "main_window.h"

#include "about_box.h"
#include "slot_panel.h"

#include "alarms/alarms_window.h"
#include "alarms/console_alarms.h"
#include "base/error_trap.h"
#include "base/twips.h"
#include "core/console_core.h"
#include "core/polling_cycle.h"
#include "core/write_cycle.h"
#include "health/line_health.h"
#include "images/image_lists.h"
#include "mqtt/mqtt_bridge.h"
#include "mqttsetup/mqtt_setting_window.h"
#include "panelsetup/table_setting_window.h"
#include "parameter/parameter_window.h"
#include "serialsetup/serial_setting_window.h"
#include "settings/orbalis_ini.h"
#include "trend/trend_windows.h"
#include "widgets/accessible_names.h"
#include "widgets/status_panel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace orbalis {

FM_Orbalis::FM_Orbalis(Console &console, SerialPort &port, Reporter &reporter, QWidget *parent)
    : QMainWindow(parent),
      console_(console),
      port_(port),
      reporter_(reporter),
      images_(std::make_unique<ImageLists>())
{
    setWindowTitle(QStringLiteral("Orbalis"));
    setFont(QFont(QStringLiteral("DotumChe"), 10));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    panel_ = new SlotPanel(console_, *images_, central);
    panel_->setFont(QFont(QStringLiteral("新細明體"), 9));
    layout->addWidget(panel_);
    setCentralWidget(central);

    for (size_t i = 0; i < statusPanels_.size(); ++i) {
        statusPanels_[i] = new StatusPanel(this);
        nameByRoleAndText(statusPanels_[i], QStringLiteral("Status %1").arg(i + 1));
    }
    statusPanels_[0]->setMinimumWidth(twipsToPixels(2700));
    statusBar()->addWidget(new StatusPanelBox(statusPanels_[0]));
    statusBar()->addWidget(new StatusPanelBox(statusPanels_[1]), 1);
    statusBar()->setSizeGripEnabled(true);

    // The core takes the line with the port and reports to the status bar,
    // the panel and the message boxes.
    core_ = std::make_unique<ConsoleCore>(console_, port_,
                                          ConsoleCore::Views{&StatusBar1(), panel_, &reporter_});
    console_.serialSettingsWindow = [this]() -> SerialSettingsView & { return loadSerialSetting(); };
    mqtt_ = std::make_unique<MqttBridge>(console_, *core_);
    health_ = std::make_unique<LineHealth>(console_, core_->watch(), *panel_, reporter_, this);
    health_->setPublisherState([this] { return mqtt_->summary(); });
    // After the core: the alarms read the counters for each reply they counted.
    alarms_ = std::make_unique<ConsoleAlarms>(console_, core_->watch().counters(), *panel_, reporter_, this);
    statusBar()->addPermanentWidget(alarms_->summaryButton(this));
    // Each change of an alarm goes out on MQTT too, while the publisher runs.
    alarms_->tracker().addObserver(mqtt_.get());
    // Every parameter write the console sends is kept in the journal.
    core_->writeCycle().addWriteObserver(&alarms_->core().parameterWrites());
    trends_ = std::make_unique<TrendWindows>(console_, core_->histories(), reporter_, this);
    connect(panel_, &SlotPanel::trendRequested, trends_.get(), &TrendWindows::open);
    connect(panel_, &SlotPanel::parameterWindowRequested, this, &FM_Orbalis::showParameterWindow);

    buildMenus();

    // Design size of the client area: 8205 by 6570 twips.
    resize(twipsToPixels(8205), twipsToPixels(6570) + menuBar()->sizeHint().height());
}

FM_Orbalis::~FM_Orbalis()
{
    console_.serialSettingsWindow = nullptr;
    // What shows the core's histories and counters goes before the core.
    trends_.reset();
    core_->writeCycle().removeWriteObserver(&alarms_->core().parameterWrites());
    alarms_.reset();
    health_.reset();
}

LiveValueTable &FM_Orbalis::liveValues() const
{
    return core_->liveValues();
}

PollingCycle &FM_Orbalis::polling() const
{
    return core_->polling();
}

CycleTimer &FM_Orbalis::Timer_Read() const
{
    return core_->Timer_Read();
}

CycleTimer &FM_Orbalis::Timer_Write() const
{
    return core_->Timer_Write();
}

WriteCycle &FM_Orbalis::writeCycle() const
{
    return core_->writeCycle();
}

void FM_Orbalis::buildMenus()
{
    fileMenu_ = menuBar()->addMenu(QStringLiteral("File"));
    // New, Open, Close and Save As have no action yet; they are shown greyed.
    const QStringList kinds{QStringLiteral("Setting"), QStringLiteral("Parameter"),
                            QStringLiteral("Record")};
    auto inactive = [&](const QString &caption, const QStringList &subEntries) {
        QMenu *sub = fileMenu_->addMenu(caption);
        for (const QString &entry : subEntries)
            sub->addAction(entry);
        sub->menuAction()->setEnabled(false);
    };
    inactive(QStringLiteral("New"), kinds);
    inactive(QStringLiteral("Open"), kinds);
    inactive(QStringLiteral("Close"), {QStringLiteral("Record")});
    fileMenu_->addSeparator();
    inactive(QStringLiteral("Save As"), kinds);
    fileMenu_->addSeparator();
    fileMenu_->addAction(QStringLiteral("Exit"), this, [this] { File_Click(6); });

    optionMenu_ = menuBar()->addMenu(QStringLiteral("Setting"));
    optionMenu_->addAction(QStringLiteral("Communication"), this, [this] { Option_Click(0); });
    optionMenu_->addAction(QStringLiteral("Panel"), this, [this] { Option_Click(1); });
    optionMenu_->addAction(QStringLiteral("Line Monitor"), this, [this] { Option_Click(2); });
    optionMenu_->addAction(QStringLiteral("MQTT"), this, [this] { Option_Click(3); });

    viewMenu_ = trends_->addViewMenu(*menuBar());
    viewMenu_->addAction(QStringLiteral("Alarms"), this, [this] { alarms_->showWindow(); });
    // Help stays hidden (below), so the version and the program folder are told here.
    viewMenu_->addSeparator();
    viewMenu_->addAction(QStringLiteral("About Orbalis"), this, &FM_Orbalis::showAbout);

    // Help is neither shown nor enabled.
    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(QStringLiteral("Help"));
    help->addAction(QStringLiteral("About"));
    help->menuAction()->setVisible(false);
    help->menuAction()->setEnabled(false);
}

void FM_Orbalis::Form_Load()
{
    ErrorTrap trap(reporter_, QStringLiteral("FM_Orbalis_Load"));
    trap.step([&] { reporter_.beep(); });
    core_->start(trap);
    trap.step([&] { alarms_->start(); });
    // The publisher, when Orbalis.ini asks for it; a bad value is told once.
    const MqttSettingsRead mqtt = readMqttSettings(OrbalisIni(console_.programDir));
    const QStringList told = mqtt_->start(mqtt.settings, mqtt.problems);
    if (!told.isEmpty())
        reporter_.warn(QStringLiteral("MQTT"), told.join(QStringLiteral("\r\n")));
}

void FM_Orbalis::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    alarms_->stop();
    ErrorTrap trap(reporter_, QStringLiteral("FM_Orbalis_Unload"));
    core_->stop(trap);
    // Every controller and the line itself go offline on the broker.
    mqtt_->stop();
}

void FM_Orbalis::closeEvent(QCloseEvent *event)
{
    // The main window cannot refuse to close, and its end is the program's:
    // other windows go without running their own closing steps.
    Form_Unload();
    event->accept();
    QCoreApplication::exit(0);
}

void FM_Orbalis::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimise and restore repaint the panel as a resize does.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        panel_->layoutSlots();
}

void FM_Orbalis::File_Click(int index)
{
    if (index == 6)
        close();
}

void FM_Orbalis::Option_Click(int index)
{
    if (index == 1) {
        if (!tableSetting_) {
            tableSetting_ = new FM_TableSetting(console_, *panel_, reporter_, this);
        }
        tableSetting_->show();
        tableSetting_->raise();
        tableSetting_->activateWindow();
    }
    if (index == 2)
        health_->showMonitor();
    if (index == 3) {
        if (!mqttSetting_)
            mqttSetting_ = new FM_MqttSetting(console_, *mqtt_, reporter_, this);
        mqttSetting_->show();
        mqttSetting_->raise();
        mqttSetting_->activateWindow();
    }
    if (index == 0) {
        FM_SerialSetting &window = loadSerialSetting();
        window.show();
        window.raise();
        window.activateWindow();
    }
}

FM_SerialSetting *FM_Orbalis::serialSetting() const
{
    return serialSetting_;
}

FM_SerialSetting &FM_Orbalis::loadSerialSetting()
{
    if (!serialSetting_ || serialSetting_->unloaded()) {
        serialSetting_ = new FM_SerialSetting(console_, StatusBar1(), reporter_, {}, this);
        // Closed means unloaded: the next opening loads it afresh.
        serialSetting_->setAttribute(Qt::WA_DeleteOnClose);
        serialSetting_->FM_SerialSetting_Load();
    }
    return *serialSetting_;
}

void FM_Orbalis::showAbout()
{
    if (!about_)
        about_ = new AboutBox(console_.programDir, this);
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void FM_Orbalis::showParameterWindow(int slot)
{
    if (!parameter_)
        parameter_ = new FM_Parameter(console_, core_->writeCycle(), reporter_, this);
    parameter_->openForSlot(slot);
}

QString FM_Orbalis::text(int panel) const
{
    if (panel < 1 || panel > 2)
        return {};
    return statusPanels_[size_t(panel - 1)]->text();
}

void FM_Orbalis::setText(int panel, const QString &text)
{
    if (panel < 1 || panel > 2)
        return;
    // A long port error text does not fit the panel at the window's own size:
    // the panel cuts it with an ellipsis and its tip holds it whole.
    statusPanels_[size_t(panel - 1)]->setPanelText(text);
}

} // namespace orbalis
