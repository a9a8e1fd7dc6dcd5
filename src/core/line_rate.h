#pragma once

#include "state/line_observer.h"
#include "state/line_rate_choice.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace orbalis {

class CycleTimer;
struct Console;

// Polling at the speed of the line. The polling cycle stays as it is: each
// tick judges the reply to the previous tick's request and sends the next.
// While the choice is on, a tick comes early once the reply has ended (its
// whole length, the controller's refusal, or more bytes than the answer
// has) and the line has been quiet for 3.5 characters and the guard time
// since its last byte; Timer_Read then starts its wait anew. A reply that
// does not end in time (none, or part of one) still gets the whole wait.
// The write cycle and the scan keep their fixed ticks.
class LineRate : public LineObserver {
public:
    // `earlyTick` is a timer of its own whose timeout calls earlyTickDue();
    // `tick` runs one polling tick, as Timer_Read's timeout does.
    LineRate(Console &console, CycleTimer &earlyTick, std::function<void()> tick);

    // The port says bytes have come in.
    void bytesArrived();
    // The early tick's timer ran out.
    void earlyTickDue();
    // A polling tick begins: nothing is waited for any more.
    void tickStarts();
    // How many ticks came early since the start.
    int earlyTicks() const { return earlyTicks_; }

    // How long after a reply's last byte the next request may go, in whole
    // milliseconds: 3.5 characters of the port's Settings ("19200,N,8,2")
    // rounded up, and the guard time. None for settings that say no rate.
    static std::optional<int> pauseAfterReplyMs(const QString &portSettings, int guardMs);

    // [line] line_rate and guard_ms of Orbalis.ini in the program folder; a
    // missing file or key, or a value that makes no sense, gives the default.
    static LineRateChoice readChoice(const QString &programDir);
    // Stores line_rate (and the guard time, so that the file shows where it
    // is set). Throws Error 70 or 75 when the file cannot be written.
    static void storeChoice(const QString &programDir, const LineRateChoice &choice);

    // LineObserver: a polling request arms the early tick, any other
    // request (a write, the scan) disarms it.
    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override;
    void replyJudged(Exchange, int, std::uint8_t, const QByteArray &, LineOutcome) override {}

private:
    void disarm();
    // pauseAfterReplyMs for the port's settings, worked out again only when
    // they or the guard time change: bytes arrive many times a reply.
    std::optional<int> pauseFor(const QString &portSettings);

    Console &console_;
    CycleTimer &earlyTick_;
    std::function<void()> tick_;
    QString pauseSettings_;
    int pauseGuardMs_ = -1;
    std::optional<int> pause_;
    QByteArray awaited_;   // the request whose reply may bring the tick forward; empty for none
    int earlyTicks_ = 0;
};

} // namespace orbalis
