#pragma once

#include "line_rate.h"
#include "line_watch.h"
#include "quiet_views.h"
#include "trend_histories.h"

#include "base/cycle_timer.h"

#include <memory>

namespace orbalis {

struct Console;
class ErrorTrap;
class LiveValueRecorder;
class LiveValueTable;
class PollingCycle;
class SerialPort;
class WriteCycle;

// The console without its windows: the two cycle timers with the polling
// cycle (recording every valid live reply, at the speed of the line when so
// chosen) and the write cycle, the line's
// counters and traffic ring, and the live trend histories, all on the
// process-wide state. The main window builds it with its status bar, slot
// panel and message boxes; a program without a display (a QCoreApplication)
// builds it alone, and then the status texts are kept in memory, nothing is
// painted and messages go to the log.
class ConsoleCore {
public:
    // The window's parts the core reports to; null ones are replaced by the
    // quiet stand-ins. All given outlive the core.
    struct Views {
        StatusPanels *mainStatus = nullptr; // panels 1 and 2 of the main window
        SlotPainter *painter = nullptr;     // the slot panel
        Reporter *reporter = nullptr;       // beeps and message boxes
    };

    // The console and the port outlive the core; it takes the console's line
    // (port and timers) until it goes.
    ConsoleCore(Console &console, SerialPort &port, Views views);
    // Without a window: the quiet stand-ins for all three.
    ConsoleCore(Console &console, SerialPort &port);
    ~ConsoleCore();
    ConsoleCore(const ConsoleCore &) = delete;
    ConsoleCore &operator=(const ConsoleCore &) = delete;

    // The start of the console after its beep: the settings file read (and
    // written back whole), the panel table derived, the port opened and
    // polling started (not with the port "CLOSE"), at the pace Orbalis.ini
    // chooses. Failures go to the trap.
    void start(ErrorTrap &trap);
    // The end: the timers stop, the port closes and the decimal-point codes
    // are saved. Failures go to the trap.
    void stop(ErrorTrap &trap);

    CycleTimer &Timer_Read() { return timerRead_; }
    CycleTimer &Timer_Write() { return timerWrite_; }
    PollingCycle &polling() { return *polling_; }
    WriteCycle &writeCycle() { return *writeCycle_; }
    // What the live pass wrote last; the record lines read it back.
    LiveValueTable &liveValues() { return *liveValues_; }
    LineWatch &watch() { return watch_; }
    TrendHistories &histories() { return histories_; }
    LineRate &lineRate() { return lineRate_; }
    StatusPanels &mainStatus() { return *mainStatus_; }

private:
    void pollingTick();

    Console &console_;
    SerialPort &port_;
    StatusTexts ownStatus_;
    NoSlotPainter ownPainter_;
    LogReporter ownReporter_;
    StatusPanels *mainStatus_;
    SlotPainter *painter_;
    Reporter *reporter_;
    QtCycleTimer timerRead_;
    QtCycleTimer timerWrite_;
    QtCycleTimer lineRateTimer_;   // the early tick of polling at line rate
    LineRate lineRate_;
    LineWatch watch_;
    TrendHistories histories_;
    std::unique_ptr<LiveValueTable> liveValues_;
    std::unique_ptr<LiveValueRecorder> recorder_;
    std::unique_ptr<PollingCycle> polling_;
    std::unique_ptr<WriteCycle> writeCycle_;
    bool inTick_ = false;
};

} // namespace orbalis
