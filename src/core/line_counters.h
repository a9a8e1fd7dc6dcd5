#pragma once

#include "reply_time.h"

#include "state/line_observer.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orbalis {

class SerialPort;

// What the line did with one controller's requests, over every exchange
// (polling, parameter reads and writes, the scan).
struct ControllerCounters {
    std::uint64_t sent = 0;
    std::uint64_t good = 0;
    std::uint64_t noAnswer = 0;
    std::uint64_t crcErrors = 0;
    std::uint64_t wrongReplies = 0;      // another controller's or another request's reply
    std::uint64_t exceptionReplies = 0;
    std::uint64_t notJudged = 0;         // sent, but the next request came before a reply check
    // Reply times of the controller's own answers (good and exception replies).
    std::uint64_t timedReplies = 0;
    std::chrono::microseconds replyLast{0};
    std::chrono::microseconds replyWorst{0};
    std::chrono::microseconds replySum{0};

    // The health of the polls (live-value reads); kept over a Reset.
    std::optional<SteadyTime> lastGoodPoll;   // the last good reply to a poll
    std::uint32_t recentFailures = 0;     // one bit per judged poll, newest in bit 0, set when it failed
    int recentPolls = 0;                  // judged polls the bits hold, at most 32
    int failedInARow = 0;                 // polls without a good reply since the last good one
    std::optional<SteadyTime> lastPollSent;
    std::chrono::milliseconds pollPeriod{0};   // usual time between two polls of this controller

    std::uint64_t judged() const { return good + noAnswer + crcErrors + wrongReplies + exceptionReplies; }
    std::optional<std::chrono::microseconds> replyMean() const
    {
        if (timedReplies == 0)
            return std::nullopt;
        return replySum / std::int64_t(timedReplies);
    }
};

// Counts per controller ID what the cycles report. A judgement counts only
// against the request it answers: a reply check after a request that never
// went out (the port was closed, a value did not fit) counts nothing, and a
// request whose reply no one judged counts as not judged.
class LineCounters : public LineObserver {
public:
    static constexpr int IdCount = 256;

    // port: asked for the line times when a reply is judged; may be null.
    explicit LineCounters(const SerialPort *port, SteadyClock now = &std::chrono::steady_clock::now);

    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override;
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    const ControllerCounters &of(std::uint8_t id) const { return counters_[id]; }
    // Bumped by every change, so a view can tell whether to redraw.
    std::uint64_t changes() const { return changes_; }
    // The counts start again from zero; the health of the polls is kept, and
    // the reply awaited now is not counted.
    void reset();

    SteadyTime now() const { return now_(); }

private:
    struct Awaited {
        Exchange exchange;
        std::uint8_t id;
    };
    void judgePoll(ControllerCounters &c, LineOutcome outcome);

    const SerialPort *port_;
    SteadyClock now_;
    std::array<ControllerCounters, IdCount> counters_{};
    std::optional<Awaited> awaited_;
    std::uint64_t changes_ = 0;
};

} // namespace orbalis
