#include "line_counters.h"

#include "link/serial_port.h"

#include <algorithm>

namespace orbalis {

namespace {

constexpr int RecentBits = 32;

} // namespace

LineCounters::LineCounters(const SerialPort *port, SteadyClock now) : port_(port), now_(std::move(now)) {}

void LineCounters::requestSent(Exchange exchange, int, std::uint8_t id, const QByteArray &)
{
    ++changes_;
    // The previous request was never judged: a parameter read cut in, or
    // the port failed before its reply check.
    if (awaited_)
        ++counters_[awaited_->id].notJudged;
    awaited_ = Awaited{exchange, id};
    ControllerCounters &c = counters_[id];
    ++c.sent;
    if (exchange != Exchange::Live)
        return;
    const SteadyTime t = now_();
    if (c.lastPollSent) {
        // A pause (a scan, a write, a closed port) only nudges the estimate.
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(t - *c.lastPollSent);
        c.pollPeriod = c.pollPeriod.count() == 0 ? gap : (3 * c.pollPeriod + std::min(gap, 2 * c.pollPeriod)) / 4;
    }
    c.lastPollSent = t;
}

void LineCounters::replyJudged(Exchange exchange, int, std::uint8_t id, const QByteArray &, LineOutcome outcome)
{
    if (!awaited_ || awaited_->exchange != exchange || awaited_->id != id)
        return;   // nothing of this went out
    awaited_.reset();
    ++changes_;
    ControllerCounters &c = counters_[id];
    switch (outcome) {
    case LineOutcome::Good: ++c.good; break;
    case LineOutcome::NoAnswer: ++c.noAnswer; break;
    case LineOutcome::CrcError: ++c.crcErrors; break;
    case LineOutcome::WrongReply: ++c.wrongReplies; break;
    case LineOutcome::ExceptionReply: ++c.exceptionReplies; break;
    }
    if ((outcome == LineOutcome::Good || outcome == LineOutcome::ExceptionReply) && port_) {
        if (const auto t = replyTimeOf(port_->lineTimes())) {
            ++c.timedReplies;
            c.replyLast = *t;
            c.replyWorst = std::max(c.replyWorst, *t);
            c.replySum += *t;
        }
    }
    if (exchange == Exchange::Live)
        judgePoll(c, outcome);
}

void LineCounters::judgePoll(ControllerCounters &c, LineOutcome outcome)
{
    const bool failed = outcome != LineOutcome::Good;
    c.recentFailures = (c.recentFailures << 1) | (failed ? 1u : 0u);
    c.recentPolls = std::min(c.recentPolls + 1, RecentBits);
    if (failed) {
        ++c.failedInARow;
    } else {
        c.failedInARow = 0;
        c.lastGoodPoll = now_();
    }
}

void LineCounters::reset()
{
    ++changes_;
    awaited_.reset();
    for (ControllerCounters &c : counters_) {
        ControllerCounters fresh;
        fresh.lastGoodPoll = c.lastGoodPoll;
        fresh.recentFailures = c.recentFailures;
        fresh.recentPolls = c.recentPolls;
        fresh.failedInARow = c.failedInARow;
        fresh.lastPollSent = c.lastPollSent;
        fresh.pollPeriod = c.pollPeriod;
        c = fresh;
    }
}

} // namespace orbalis
