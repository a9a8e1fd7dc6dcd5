#include "scan_cycle.h"

#include "serial_settings_apply.h"

#include "base/error_trap.h"
#include "base/status_panels.h"
#include "link/frames.h"
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

QString resultText(ReplyOutcome outcome)
{
    switch (outcome) {
    case ReplyOutcome::Valid: return QStringLiteral("CRC Ok !");
    case ReplyOutcome::CrcError: return QStringLiteral("CRC Error !");
    case ReplyOutcome::NoReply: break;
    }
    return QStringLiteral("---");
}

// The scan itself judges on the CRC alone; the line's counters are told
// more: a reply with a good CRC from another controller or to another
// request (a late reply of the ID before) is not this ID's answer.
LineOutcome lineOutcome(ReplyOutcome outcome, const QByteArray &reply, std::uint8_t id)
{
    switch (outcome) {
    case ReplyOutcome::Valid: break;
    case ReplyOutcome::CrcError: return LineOutcome::CrcError;
    case ReplyOutcome::NoReply: return LineOutcome::NoAnswer;
    }
    const auto function = std::uint8_t(reply[1]);
    if (std::uint8_t(reply[0]) != id)
        return LineOutcome::WrongReply;
    if (function == 0x84 && reply.size() == 5)
        return LineOutcome::ExceptionReply;
    // One register: ID, 4, byte count 2, the value, CRC.
    return function == 4 && reply.size() == 7 && reply[2] == 2 ? LineOutcome::Good : LineOutcome::WrongReply;
}

int beepsFor(ReplyOutcome outcome)
{
    switch (outcome) {
    case ReplyOutcome::Valid: return 1;
    case ReplyOutcome::CrcError: return 3;
    case ReplyOutcome::NoReply: break;
    }
    return 0;
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
    const ReplyOutcome outcome = Check_Reply(port(), console_.line);
    console_.lineObservers.replyJudged(Exchange::Scan, -1, id, console_.line.Reply_Buffer,
                                       lineOutcome(outcome, console_.line.Reply_Buffer, id));
    for (int i = 0; i < beepsFor(outcome); ++i)
        reporter_.beep();
    table_.setResult(id, n / IdsPerBlock + 1, resultText(outcome));
    table_.showProgress(LastStep, n, QString::number(n * 100 / LastStep) + QStringLiteral(" %"));
    if (n >= LastStep || outcome == ReplyOutcome::Valid) {
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
