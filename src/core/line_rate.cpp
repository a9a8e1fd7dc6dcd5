#include "line_rate.h"

#include "base/cycle_timer.h"
#include "link/line_settings.h"
#include "link/reply_judge.h"
#include "settings/orbalis_ini.h"
#include "state/console.h"

namespace orbalis {

namespace {

const QString LineRateKey = QStringLiteral("line/line_rate");
const QString GuardKey = QStringLiteral("line/guard_ms");
// A guard beyond this is a typing error, not a slow adapter.
constexpr int MaxGuardMs = 100;

bool pollingExchange(Exchange exchange)
{
    return exchange == Exchange::Live || exchange == Exchange::ReadOne || exchange == Exchange::ReadAll;
}

} // namespace

LineRate::LineRate(Console &console, CycleTimer &earlyTick, std::function<void()> tick)
    : console_(console), earlyTick_(earlyTick), tick_(std::move(tick))
{
}

std::optional<int> LineRate::pauseAfterReplyMs(const QString &portSettings, int guardMs)
{
    const auto line = parseLineSettings(portSettings);
    if (!line)
        return std::nullopt;
    const auto gap = frameGap(*line).count();
    return int((gap + 999) / 1000) + guardMs;
}

LineRateChoice LineRate::readChoice(const QString &programDir)
{
    const OrbalisIni ini(programDir);
    LineRateChoice choice;
    choice.on = ini.boolValue(LineRateKey, false);
    bool ok = false;
    const int guard = ini.value(GuardKey).toString().trimmed().toInt(&ok);
    if (ok && guard >= 0 && guard <= MaxGuardMs)
        choice.guardMs = guard;
    return choice;
}

void LineRate::storeChoice(const QString &programDir, const LineRateChoice &choice)
{
    OrbalisIni ini(programDir);
    ini.setValue(LineRateKey, choice.on);
    if (!ini.value(GuardKey).isValid())
        ini.setValue(GuardKey, choice.guardMs);
}

void LineRate::requestSent(Exchange exchange, int, std::uint8_t, const QByteArray &frame)
{
    disarm();
    if (pollingExchange(exchange) && console_.lineRate.on)
        awaited_ = frame;
}

void LineRate::tickStarts()
{
    disarm();
}

void LineRate::disarm()
{
    awaited_.clear();
    if (earlyTick_.isEnabled())
        earlyTick_.setEnabled(false);
}

std::optional<int> LineRate::pauseFor(const QString &portSettings)
{
    if (portSettings != pauseSettings_ || console_.lineRate.guardMs != pauseGuardMs_) {
        pauseSettings_ = portSettings;
        pauseGuardMs_ = console_.lineRate.guardMs;
        pause_ = pauseAfterReplyMs(pauseSettings_, pauseGuardMs_);
    }
    return pause_;
}

void LineRate::bytesArrived()
{
    SerialPort *port = console_.line.port();
    if (awaited_.isEmpty() || !port || !console_.lineRate.on)
        return;
    const std::optional<int> pause = pauseFor(port->Settings());
    if (!pause || !replyEnded(awaited_, port->peekInput())) {
        // More may come: the whole wait stands.
        earlyTick_.setEnabled(false);
        return;
    }
    // From this byte on; a later byte starts the pause again.
    earlyTick_.setInterval(*pause);
    earlyTick_.setEnabled(true);
}

void LineRate::earlyTickDue()
{
    const bool due = !awaited_.isEmpty() && console_.lineRate.on;
    disarm();
    CycleTimer *timerRead = console_.line.Timer_Read();
    // The write cycle or the scan may have taken the line meanwhile.
    if (!due || !timerRead || !timerRead->isEnabled())
        return;
    // The next wait counts from this tick, as after a tick of its own.
    timerRead->setEnabled(true);
    ++earlyTicks_;
    tick_();
}

} // namespace orbalis
