#include "scan_cycle.h"

#include "serial_settings_apply.h"

#include "base/error_trap.h"
#include "base/status_panels.h"
#include "link/frames.h"
#include "link/reply_judge.h"
#include "model/register_map.h"
#include "state/console.h"

#include <array>

namespace orbalis {

namespace {

struct Block {
    int firstStep;
    const char *baud;
    int intervalMs;
};

constexpr std::array<Block, 4> Blocks{{
    {0, "19200", 50},
    {ScanCycle::IdsPerBlock, "9600", 100},
    {2 * ScanCycle::IdsPerBlock, "4800", 200},
    {3 * ScanCycle::IdsPerBlock, "2400", 400},
}};

const Block *blockStartingAt(int step)
{
    for (const Block &b : Blocks)
        if (b.firstStep == step)
            return &b;
    return nullptr;
}

std::uint8_t idOfStep(int step)
{
    return std::uint8_t(step % ScanCycle::IdsPerBlock + 1);
}

QString resultText(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::NoAnswer: return QStringLiteral("---");
    case LineOutcome::CrcError: return QStringLiteral("CRC Error !");
    default: break;
    }
    return QStringLiteral("CRC Ok !");
}

int beepsFor(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::NoAnswer: return 0;
    case LineOutcome::CrcError: return 3;
    default: break;
    }
    return 1;
}

// A message box inside a tick runs a nested event loop; the next tick waits.
class TickGuard {
public:
    explicit TickGuard(bool &flag) : flag_(flag), entered_(!flag) { flag_ = true; }
    ~TickGuard()
    {
        if (entered_)
            flag_ = false;
    }
    bool entered() const { return entered_; }

private:
    bool &flag_;
    bool entered_;
};

} // namespace

ScanCycle::ScanCycle(Console &console, CycleTimer &timer1, SerialSettingsApply &settings,
                     SerialSettingControls &controls, ScanTable &table, StatusPanels &mainStatus,
                     Reporter &reporter)
    : console_(console), timer1_(timer1), settings_(settings), controls_(controls), table_(table),
      mainStatus_(mainStatus), reporter_(reporter)
{
}

bool ScanCycle::scanning() const
{
    return timer1_.isEnabled();
}

SerialPort &ScanCycle::port() const
{
    if (!console_.port)
        throw Error(PortNotOpen, QStringLiteral("no serial port"));
    return *console_.port;
}

void ScanCycle::Start()
{
    if (!console_.port || !console_.port->PortOpen())
        return;
    CycleTimer *timerRead = console_.Timer_Read;
    if (timer1_.isEnabled()) {
        timer1_.setEnabled(false);
        if (timerRead && !timerRead->isEnabled())
            timerRead->setEnabled(true);
        return;
    }
    if (timerRead && timerRead->isEnabled())
        timerRead->setEnabled(false);
    table_.Build_Scan_List();
    controls_.setStartEnabled(false);
    controls_.setStopEnabled(true);
    step_ = 0;
    console_.Send_Pending = true;
    timer1_.setInterval(StartIntervalMs);
    timer1_.setEnabled(true);
}

void ScanCycle::Stop()
{
    if (!console_.port || !console_.port->PortOpen())
        return;
    endScan();
}

void ScanCycle::Timer1_Timer() noexcept
{
    const TickGuard guard(inTick_);
    if (!guard.entered())
        return;
    try {
        tick();
    } catch (...) {
        const Error e = currentExceptionAsError();
        try {
            endScan();
        } catch (...) {
        }
        ErrorTrap(reporter_, QStringLiteral("Timer1_Timer")).report(e);
    }
}

void ScanCycle::tick()
{
    // Nothing can be asked or heard on a closed port: the apply at a block
    // start failed, or the user applied "CLOSE" meanwhile.
    if (!port().PortOpen()) {
        endScanPortClosed();
        return;
    }
    const int n = step_;
    if (console_.Send_Pending) {
        console_.Send_Pending = false;
        if (const Block *block = blockStartingAt(n)) {
            controls_.setComboText(SerialField::Baud, QString::fromLatin1(block->baud));
            timer1_.setInterval(block->intervalMs);
            settings_.Control_RS232_Setting_Ok();
            if (!port().PortOpen()) {
                endScanPortClosed();
                return;
            }
        }
        send(n);
        return;
    }

    const std::uint8_t id = idOfStep(n);
    const ReplyJudgement judged = takeJudgedReply(port(), console_.line);
    console_.lineObservers.replyJudged(Exchange::Scan, -1, id, console_.line.Reply_Buffer, judged.outcome);
    for (int i = 0; i < beepsFor(judged); ++i)
        reporter_.beep();
    table_.setResult(id, n / IdsPerBlock + 1, resultText(judged));
    table_.showProgress(LastStep, n, QString::number(n * 100 / LastStep) + QStringLiteral(" %"));
    if (n >= LastStep || judged.crcValid()) {
        endScan();
        return;
    }
    step_ = n + 1;
    if (blockStartingAt(step_))
        console_.Send_Pending = true;   // the next tick switches the baud rate
    else
        send(step_);
}

void ScanCycle::send(int step)
{
    const std::uint8_t id = idOfStep(step);
    if (Send_Read_Request(port(), console_.line, id, InputRegisterBase, 1))
        console_.lineObservers.requestSent(Exchange::Scan, -1, id, requestBytes(console_.line));
}

void ScanCycle::endScan()
{
    timer1_.setEnabled(false);
    controls_.setStartEnabled(true);
    controls_.setStopEnabled(false);
    console_.Read_State = ReadState::Select;
    if (CycleTimer *timerRead = console_.Timer_Read; timerRead && !timerRead->isEnabled())
        timerRead->setEnabled(true);
}

void ScanCycle::endScanPortClosed()
{
    endScan();
    // As after applying settings that leave the port closed: "Start" and
    // "Stop" are off, and a port stored as "CLOSE" is not polled (polling it
    // would only show port errors in place of this text).
    controls_.setStartEnabled(false);
    controls_.setStopEnabled(false);
    if (console_.settings.serial.Port == QLatin1String("CLOSE") && console_.Timer_Read)
        console_.Timer_Read->setEnabled(false);
    mainStatus_.setText(2, portClosedText());
}

void ScanCycle::windowClosing() noexcept
{
    if (!scanning())
        return;
    try {
        if (console_.port && console_.port->PortOpen())
            endScan();
        else
            endScanPortClosed();
    } catch (...) {
    }
}

} // namespace orbalis
