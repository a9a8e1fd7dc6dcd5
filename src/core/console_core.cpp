#include "console_core.h"

#include "live_value_recorder.h"
#include "polling_cycle.h"
#include "reply_waits.h"
#include "write_cycle.h"

#include "base/error_trap.h"
#include "model/live_value_table.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "state/open_serial_port.h"

namespace orbalis {

ConsoleCore::ConsoleCore(Console &console, SerialPort &port, Views views)
    : console_(console),
      port_(port),
      mainStatus_(views.mainStatus ? views.mainStatus : &ownStatus_),
      painter_(views.painter ? views.painter : &ownPainter_),
      reporter_(views.reporter ? views.reporter : &ownReporter_),
      timerRead_(StartWaitMs),
      timerWrite_(StartWaitMs),
      lineRateTimer_(StartWaitMs),
      lineRate_(console, lineRateTimer_, [this] { pollingTick(); }),
      watch_(console, port),
      histories_(console),
      liveValues_(std::make_unique<LiveValueTable>()),
      recorder_(std::make_unique<LiveValueRecorder>(console, *liveValues_, *painter_, *reporter_)),
      polling_(std::make_unique<PollingCycle>(console, *mainStatus_, *recorder_, *painter_)),
      writeCycle_(std::make_unique<WriteCycle>(console, *reporter_))
{
    console_.line.attach(&port_, &timerRead_, &timerWrite_);
    console_.lineObservers.add(&histories_);
    console_.lineObservers.add(&lineRate_);
    timerRead_.onTick([this] { pollingTick(); });
    timerWrite_.onTick([this] { writeCycle_->Timer_Write_Timer(); });
    lineRateTimer_.onTick([this] { lineRate_.earlyTickDue(); });
    port_.onBytesArrived([this] { lineRate_.bytesArrived(); });
}

ConsoleCore::ConsoleCore(Console &console, SerialPort &port) : ConsoleCore(console, port, Views{}) {}

ConsoleCore::~ConsoleCore()
{
    timerRead_.setEnabled(false);
    timerWrite_.setEnabled(false);
    lineRateTimer_.setEnabled(false);
    port_.onBytesArrived({});
    console_.lineObservers.remove(&lineRate_);
    console_.lineObservers.remove(&histories_);
    console_.line.detach();
}

void ConsoleCore::start(ErrorTrap &trap)
{
    runSettingsStartup(console_.settingsPath(), console_.settings, trap, *console_.clock);
    console_.lineRate = LineRate::readChoice(console_.programDir);
    trap.step([&] { console_.line.startFresh(); });
    trap.step([&] { Load_Panel_Table(console_.settings, console_.slots, trap); });
    Open_Serial_Port(port_, console_.settings.serial);
    trap.step([&] {
        if (port_.PortOpen()) {
            mainStatus_->setText(2, QString());
            console_.line.resumeLivePolling();
        } else if (console_.settings.serial.Port == QLatin1String("CLOSE")) {
            mainStatus_->setText(2, QStringLiteral("Serial port is close !"));
        } else {
            // Polling reopens the port every second tick until it comes.
            mainStatus_->setText(2, QStringLiteral("Serial port is not open !"));
            console_.line.resumeLivePolling();
        }
    });
}

void ConsoleCore::stop(ErrorTrap &trap)
{
    timerRead_.setEnabled(false);
    timerWrite_.setEnabled(false);
    lineRateTimer_.setEnabled(false);
    trap.step([&] {
        if (port_.PortOpen())
            port_.setPortOpen(false);
    });
    runSettingsExit(console_.settingsPath(), console_.settings, console_.slots, trap);
}

void ConsoleCore::pollingTick()
{
    // A message box shown inside a tick runs a nested event loop; the next
    // tick must wait for this one to end.
    if (inTick_)
        return;
    inTick_ = true;
    lineRate_.tickStarts();
    polling_->Timer_Read_Timer();
    inTick_ = false;
}

} // namespace orbalis
