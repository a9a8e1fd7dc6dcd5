#include "scan_cycle.h"

#include "reply_waits.h"
#include "serial_settings_apply.h"

#include "base/error_trap.h"
#include "base/status_panels.h"
#include "link/frames.h"
#include "link/reply_judge.h"
#include "model/register_map.h"
#include "state/console.h"

#include <array>
#include <optional>

namespace orbalis {

namespace {

// The baud rates, fastest first; each block asks every ID once, one tick of
// the scan's wait for the rate per ID.
struct Block {
    int firstStep;
    const char *baud;
};

constexpr std::array<Block, 4> Blocks{{
    {0, "19200"},
    {ScanCycle::IdsPerBlock, "9600"},
    {2 * ScanCycle::IdsPerBlock, "4800"},
    {3 * ScanCycle::IdsPerBlock, "2400"},
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

// The row a reply finds a controller on: the asked ID for its own answer
// or refusal; for a reply with a good CRC from another ID, that ID when the
// reply is what the scan's request to it would have got (a late answer of
// an ID asked before). Anything else finds nobody.
std::optional<int> foundRow(const ReplyJudgement &judged, const QByteArray &request, const QByteArray &reply,
                            std::uint8_t asked)
{
    switch (judged.outcome) {
    case LineOutcome::Good:
    case LineOutcome::ExceptionReply: return asked;
    case LineOutcome::WrongReply: break;
    default: return std::nullopt;
    }
    const std::uint8_t named = judged.replyId;
    if (judged.mismatch != Mismatch::OtherId || named < 1 || named > ScanCycle::IdsPerBlock)
        return std::nullopt;
    QByteArray toNamed = request.left(6);
    toNamed[0] = char(named);
    const LineOutcome asNamed = judgeReplyTo(withCrc(toNamed), reply).outcome;
    if (asNamed == LineOutcome::Good || asNamed == LineOutcome::ExceptionReply)
        return named;
    return std::nullopt;
}

const QString NothingText = QStringLiteral("---");
const QString FoundText = QStringLiteral("CRC Ok !");

QString resultText(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::NoAnswer: return NothingText;
    case LineOutcome::CrcError: return QStringLiteral("CRC Error !");
    case LineOutcome::WrongReply: return QStringLiteral("Wrong Reply !");
    default: break;
    }
    return FoundText;
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
    return console_.line.openedPort();
}

void ScanCycle::Start()
{
    if (!console_.line.portOpen())
        return;
    if (timer1_.isEnabled()) {
        timer1_.setEnabled(false);
        console_.line.resumePollingTimer();
        return;
    }
    console_.line.scanTakesLine();
    table_.Build_Scan_List();
    controls_.setStartEnabled(false);
    controls_.setStopEnabled(true);
    step_ = 0;
    timer1_.setInterval(StartIntervalMs);
    timer1_.setEnabled(true);
}

void ScanCycle::Stop()
{
    if (!console_.line.portOpen())
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
    if (console_.line.takePendingSend()) {
        if (const Block *block = blockStartingAt(n)) {
            const QString baud = QString::fromLatin1(block->baud);
            controls_.setComboText(SerialField::Baud, baud);
            setWait(timer1_, ScanStepWait, baud);
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
    LineOwner &line = console_.line;
    const ReplyJudgement judged = line.takeReply();
    line.reportJudged(Exchange::Scan, -1, id, judged.outcome);
    const int column = n / IdsPerBlock + 1;
    const std::optional<int> found = foundRow(judged, line.requestSent(), line.Reply_Buffer(), id);
    if (found) {
        reporter_.beep();
        // Another controller's late answer: the asked one said nothing.
        if (*found != id)
            table_.setResult(id, column, NothingText);
        table_.setResult(*found, column, FoundText);
    } else {
        // Something answered, but garbled or not as asked.
        if (judged.outcome != LineOutcome::NoAnswer)
            for (int i = 0; i < 3; ++i)
                reporter_.beep();
        table_.setResult(id, column, resultText(judged));
    }
    table_.showProgress(LastStep, n, QString::number(n * 100 / LastStep) + QStringLiteral(" %"));
    if (n >= LastStep || found) {
        endScan();
        return;
    }
    step_ = n + 1;
    if (blockStartingAt(step_))
        console_.line.nextTickSends();   // the next tick switches the baud rate
    else
        send(step_);
}

void ScanCycle::send(int step)
{
    port();   // none at all is an error of the tick
    console_.line.sendRead(Exchange::Scan, -1, idOfStep(step), InputRegisterBase, 1);
}

void ScanCycle::endScan()
{
    timer1_.setEnabled(false);
    controls_.setStartEnabled(true);
    controls_.setStopEnabled(false);
    console_.line.resumeLivePolling();
}

void ScanCycle::endScanPortClosed()
{
    endScan();
    // As after applying settings that leave the port closed: "Start" and
    // "Stop" are off, and a port stored as "CLOSE" is not polled (polling it
    // would only show port errors in place of this text).
    controls_.setStartEnabled(false);
    controls_.setStopEnabled(false);
    if (console_.settings.serial.Port == QLatin1String("CLOSE"))
        console_.line.stopPolling();
    mainStatus_.setText(2, portClosedText());
}

void ScanCycle::windowClosing() noexcept
{
    if (!scanning())
        return;
    try {
        if (console_.line.portOpen())
            endScan();
        else
            endScanPortClosed();
    } catch (...) {
    }
}

} // namespace orbalis
