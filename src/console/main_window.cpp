#include "main_window.h"

#include "core/live_value_recorder.h"
#include "core/polling_cycle.h"
#include "slot_panel.h"

#include "base/error_trap.h"
#include "base/twips.h"
#include "health/line_health.h"
#include "images/image_lists.h"
#include "model/live_value_table.h"
#include "state/open_serial_port.h"
#include "panelsetup/table_setting_window.h"
#include "parameter/parameter_window.h"
#include "core/write_cycle.h"
#include "serialsetup/serial_setting_window.h"
#include "settings/settings_store.h"
#include "trend/trend_windows.h"
#include "widgets/status_panel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace orbalis {

FM_Orbalis::FM_Orbalis(Console &console, SerialPort &port, Reporter &reporter, QWidget *parent)
    : QMainWindow(parent),
      console_(console),
      port_(port),
      reporter_(reporter),
      images_(std::make_unique<ImageLists>()),
      timerRead_(std::make_unique<QtCycleTimer>(100)),
      timerWrite_(std::make_unique<QtCycleTimer>(100)),
      liveValues_(std::make_unique<LiveValueTable>()),
      trends_(std::make_unique<TrendWindows>(console, reporter, this))
{
    setWindowTitle(QStringLiteral("Orbalis"));
    setFont(QFont(QStringLiteral("DotumChe"), 10));

    console_.line.attach(&port_, timerRead_.get(), timerWrite_.get());
    console_.serialSettingsWindow = [this]() -> SerialSettingsView & { return loadSerialSetting(); };

    buildMenus();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    panel_ = new SlotPanel(console_, *images_, central);
    panel_->setFont(QFont(QStringLiteral("新細明體"), 9));
    layout->addWidget(panel_);
    setCentralWidget(central);
    connect(panel_, &SlotPanel::trendRequested, trends_.get(), &TrendWindows::open);

    for (size_t i = 0; i < statusPanels_.size(); ++i) {
        statusPanels_[i] = new StatusPanel(this);
        statusPanels_[i]->setAccessibleName(QStringLiteral("Status %1").arg(i + 1));
    }
    statusPanels_[0]->setMinimumWidth(twipsToPixels(2700));
    statusBar()->addWidget(statusPanels_[0]);
    statusBar()->addWidget(statusPanels_[1], 1);
    statusBar()->setSizeGripEnabled(true);

    health_ = std::make_unique<LineHealth>(console_, port_, *panel_, reporter_, this);

    recorder_ = std::make_unique<LiveValueRecorder>(console_, *liveValues_, *liveValues_, *panel_,
                                                    reporter_);
    polling_ = std::make_unique<PollingCycle>(console_, StatusBar1(), *recorder_, *panel_);
    timerRead_->onTick([this] { Timer_Read_Timer(); });
    writeCycle_ = std::make_unique<WriteCycle>(console_, reporter_);
    timerWrite_->onTick([this] { writeCycle_->Timer_Write_Timer(); });
    connect(panel_, &SlotPanel::parameterWindowRequested, this, &FM_Orbalis::showParameterWindow);

    // Design size of the client area: 8205 by 6570 twips.
    resize(twipsToPixels(8205), twipsToPixels(6570) + menuBar()->sizeHint().height());
}

FM_Orbalis::~FM_Orbalis()
{
    console_.line.detach();
    console_.serialSettingsWindow = nullptr;
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

    trends_->addViewMenu(*menuBar());

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
    runSettingsStartup(console_.settingsPath(), console_.settings, trap, *console_.clock);
    trap.step([&] { console_.line.startFresh(); });
    trap.step([&] { Load_Panel_Table(console_.settings, console_.slots, trap); });
    Open_Serial_Port(port_, console_.settings.serial);
    trap.step([&] {
        if (port_.PortOpen()) {
            setText(2, QString());
            console_.line.resumeLivePolling();
        } else if (console_.settings.serial.Port == QLatin1String("CLOSE")) {
            setText(2, QStringLiteral("Serial port is close !"));
        } else {
            setText(2, QStringLiteral("Serial port is not open !"));
            console_.line.resumeLivePolling();
        }
    });
}

void FM_Orbalis::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    timerRead_->setEnabled(false);
    timerWrite_->setEnabled(false);
    ErrorTrap trap(reporter_, QStringLiteral("FM_Orbalis_Unload"));
    trap.step([&] {
        if (port_.PortOpen())
            port_.setPortOpen(false);
    });
    runSettingsExit(console_.settingsPath(), console_.settings, console_.slots, trap);
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

void FM_Orbalis::showParameterWindow(int slot)
{
    if (!parameter_)
        parameter_ = new FM_Parameter(console_, *writeCycle_, reporter_, this);
    parameter_->openForSlot(slot);
}

void FM_Orbalis::Timer_Read_Timer()
{
    // A message box shown inside a tick runs a nested event loop; the next
    // tick must wait for this one to end.
    if (inTick_)
        return;
    inTick_ = true;
    polling_->Timer_Read_Timer();
    inTick_ = false;
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
