// The counters and the health rules as plain classes: sequences of what the
// cycles report, and what each controller's counters and mark then say.

#include "core/health_rules.h"
#include "core/line_counters.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// One thing the cycles report, or the user does.
struct Step {
    enum Kind { Sent, Judged, Reset } kind;
    Exchange exchange = Exchange::Live;
    int id = 5;
    LineOutcome outcome = LineOutcome::Good;
    std::optional<int> replyMs = {};   // what the port timed; none: the port cannot tell
};

Step sent(Exchange e, int id = 5) { return {Step::Sent, e, id}; }
Step judged(Exchange e, LineOutcome o, std::optional<int> ms = {}, int id = 5) { return {Step::Judged, e, id, o, ms}; }
Step reset() { return {Step::Reset}; }

struct Expected {
    std::uint64_t sent, good, noAnswer, crcErrors, wrongReplies, exceptionReplies, notJudged;
    std::uint64_t timed = 0;
    int lastMs = 0, worstMs = 0, meanMs = 0;
};

struct CountCase {
    const char *name;
    std::vector<Step> steps;
    int id;
    Expected expected;
};

void run(LineCounters &counters, FakeSerialPort &port, ManualClock &clock, const std::vector<Step> &steps)
{
    for (const Step &s : steps) {
        clock.now += 100ms;
        switch (s.kind) {
        case Step::Sent:
            counters.requestSent(s.exchange, s.exchange == Exchange::Scan ? -1 : 2, std::uint8_t(s.id), {});
            break;
        case Step::Judged:
            port.times = {};
            if (s.replyMs)
                replyAfter(port, clock, std::chrono::milliseconds(*s.replyMs));
            counters.replyJudged(s.exchange, s.exchange == Exchange::Scan ? -1 : 2, std::uint8_t(s.id), {},
                                 s.outcome);
            break;
        case Step::Reset:
            counters.reset();
            break;
        }
    }
}

const std::vector<CountCase> CountCases = {
    {"a good poll is sent and good, with the reply time the port measured",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::Good, 46)},
     5, {1, 1, 0, 0, 0, 0, 0, 1, 46, 46, 46}},
    {"each outcome goes to its own counter, over every exchange",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::NoAnswer),
      sent(Exchange::ReadOne), judged(Exchange::ReadOne, LineOutcome::CrcError),
      sent(Exchange::ReadAll), judged(Exchange::ReadAll, LineOutcome::WrongReply),
      sent(Exchange::Write), judged(Exchange::Write, LineOutcome::ExceptionReply),
      sent(Exchange::Live), judged(Exchange::Live, LineOutcome::Good)},
     5, {5, 1, 1, 1, 1, 1, 0}},
    {"the scan counts by controller ID",
     {sent(Exchange::Scan, 7), judged(Exchange::Scan, LineOutcome::NoAnswer, {}, 7)},
     7, {1, 0, 1, 0, 0, 0, 0}},
    {"a reply check after a request that never went out counts nothing",
     {judged(Exchange::Write, LineOutcome::NoAnswer), judged(Exchange::Scan, LineOutcome::NoAnswer)},
     5, {0, 0, 0, 0, 0, 0, 0}},
    {"a judgement of another exchange is not the answer to the request awaited",
     {sent(Exchange::Live), judged(Exchange::Write, LineOutcome::NoAnswer)},
     5, {1, 0, 0, 0, 0, 0, 0}},
    {"a judgement for another controller is not the answer to the request awaited",
     {sent(Exchange::Live, 5), judged(Exchange::Live, LineOutcome::Good, 40, 6), sent(Exchange::Live, 6)},
     5, {1, 0, 0, 0, 0, 0, 1}},
    {"a poll cut off by a parameter read is not judged; the read is",
     {sent(Exchange::Live), sent(Exchange::ReadAll), judged(Exchange::ReadAll, LineOutcome::Good, 300)},
     5, {2, 1, 0, 0, 0, 0, 1, 1, 300, 300, 300}},
    {"reply times count only the controller's own answers",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::Good, 40),
      sent(Exchange::Live), judged(Exchange::Live, LineOutcome::CrcError, 10),
      sent(Exchange::Live), judged(Exchange::Live, LineOutcome::WrongReply, 5),
      sent(Exchange::Write), judged(Exchange::Write, LineOutcome::ExceptionReply, 60),
      sent(Exchange::Live), judged(Exchange::Live, LineOutcome::NoAnswer, 1)},
     5, {5, 1, 1, 1, 1, 1, 0, 2, 60, 60, 50}},
    {"a reply the port saw before the request's computed end takes no time",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::Good, -3)},
     5, {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
    {"a port that cannot time leaves the reply times empty",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::Good)},
     5, {1, 1, 0, 0, 0, 0, 0, 0}},
    {"reset starts the counts again and forgets the reply awaited",
     {sent(Exchange::Live), judged(Exchange::Live, LineOutcome::NoAnswer), sent(Exchange::Live), reset(),
      judged(Exchange::Live, LineOutcome::Good, 40), sent(Exchange::Live),
      judged(Exchange::Live, LineOutcome::Good, 45)},
     5, {1, 1, 0, 0, 0, 0, 0, 1, 45, 45, 45}},
};

class CountersTable : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountersTable, CountsWhatTheCyclesReport)
{
    const CountCase &c = GetParam();
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters(&port, clock.fn());
    run(counters, port, clock, c.steps);
    const ControllerCounters &got = counters.of(std::uint8_t(c.id));
    const Expected &e = c.expected;
    EXPECT_EQ(got.sent, e.sent);
    EXPECT_EQ(got.good, e.good);
    EXPECT_EQ(got.noAnswer, e.noAnswer);
    EXPECT_EQ(got.crcErrors, e.crcErrors);
    EXPECT_EQ(got.wrongReplies, e.wrongReplies);
    EXPECT_EQ(got.exceptionReplies, e.exceptionReplies);
    EXPECT_EQ(got.notJudged, e.notJudged);
    EXPECT_EQ(got.timedReplies, e.timed);
    if (e.timed > 0) {
        EXPECT_EQ(got.replyLast, std::chrono::milliseconds(e.lastMs));
        EXPECT_EQ(got.replyWorst, std::chrono::milliseconds(e.worstMs));
        EXPECT_EQ(got.replyMean(), std::chrono::milliseconds(e.meanMs));
    } else {
        EXPECT_FALSE(got.replyMean());
    }
    // Whatever happened, no controller has more answers than requests.
    for (int id = 0; id < LineCounters::IdCount; ++id)
        EXPECT_LE(counters.of(std::uint8_t(id)).judged() + counters.of(std::uint8_t(id)).notJudged,
                  counters.of(std::uint8_t(id)).sent);
}

INSTANTIATE_TEST_SUITE_P(Health, CountersTable, ::testing::ValuesIn(CountCases),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

// Polls as letters: G good, N no answer, C CRC error, W wrong reply, E exception.
LineOutcome outcomeOf(char c)
{
    switch (c) {
    case 'N': return LineOutcome::NoAnswer;
    case 'C': return LineOutcome::CrcError;
    case 'W': return LineOutcome::WrongReply;
    case 'E': return LineOutcome::ExceptionReply;
    default: return LineOutcome::Good;
    }
}

struct MarkCase {
    std::string polls;
    HealthMark mark;
};

class HealthMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(HealthMarks, FollowTheLastPolls)
{
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters(&port, clock.fn());
    for (char c : GetParam().polls) {
        counters.requestSent(Exchange::Live, 0, 5, {});
        counters.replyJudged(Exchange::Live, 0, 5, {}, outcomeOf(c));
        // Parameter reads and writes, good or not, are not polls.
        counters.requestSent(Exchange::ReadAll, 0, 5, {});
        counters.replyJudged(Exchange::ReadAll, 0, 5, {}, LineOutcome::NoAnswer);
    }
    EXPECT_EQ(healthMark(counters.of(5)), GetParam().mark) << GetParam().polls;
}

INSTANTIATE_TEST_SUITE_P(
    Health, HealthMarks,
    ::testing::Values(MarkCase{"", HealthMark::None}, MarkCase{"G", HealthMark::Green},
                      MarkCase{"GGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGG", HealthMark::Green},
                      MarkCase{"N", HealthMark::Amber}, MarkCase{"GGGC", HealthMark::Amber},
                      MarkCase{"GWG", HealthMark::Amber}, MarkCase{"GEG", HealthMark::Amber},
                      MarkCase{"NNNN", HealthMark::Amber}, MarkCase{"NNNNN", HealthMark::Red},
                      MarkCase{"GNCWEN", HealthMark::Red}, MarkCase{"NNNNNG", HealthMark::Amber},
                      // The failure is the 20th poll back, then the 21st.
                      MarkCase{"N" + std::string(19, 'G'), HealthMark::Amber},
                      MarkCase{"N" + std::string(20, 'G'), HealthMark::Green},
                      MarkCase{std::string(40, 'N') + std::string(20, 'G'), HealthMark::Green}));

TEST(HealthOldValues, AfterFivePollsWithoutAnswerOrFivePeriodsWithoutPollOrWithoutPort)
{
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters(&port, clock.fn());
    auto poll = [&](LineOutcome o) {
        clock.now += 400ms;
        counters.requestSent(Exchange::Live, 0, 5, {});
        clock.now += 100ms;
        counters.replyJudged(Exchange::Live, 0, 5, {}, o);
    };
    for (int i = 0; i < 6; ++i)
        poll(LineOutcome::Good);
    const ControllerCounters &c = counters.of(5);
    EXPECT_EQ(c.pollPeriod, 500ms);
    EXPECT_EQ(oldValues(c, clock.now, true), OldValues::Fresh);
    EXPECT_EQ(oldValues(c, clock.now, false), OldValues::PortClosed);

    for (int i = 0; i < 4; ++i)
        poll(LineOutcome::CrcError);
    EXPECT_EQ(oldValues(c, clock.now, true), OldValues::Fresh);
    poll(LineOutcome::NoAnswer);
    EXPECT_EQ(oldValues(c, clock.now, true), OldValues::NoReply);
    EXPECT_EQ(oldValuesSentence(c, clock.now, OldValues::NoReply),
              "The values shown are old: no good reply to the last 5 polls.");
    poll(LineOutcome::Good);
    EXPECT_EQ(oldValues(c, clock.now, true), OldValues::Fresh);

    // Polling stops (a scan, a port that fails every request): five periods
    // and a half later the values are old.
    const SteadyTime lastGood = clock.now;
    EXPECT_EQ(oldValues(c, lastGood + 2750ms, true), OldValues::Fresh);
    EXPECT_EQ(oldValues(c, lastGood + 2751ms, true), OldValues::NotPolled);
    EXPECT_EQ(oldValuesSentence(c, lastGood + 3s, OldValues::NotPolled),
              "The values shown are old: not polled for 3.0 s.");
    // A three-minute pause moves the usual period only a little.
    clock.now += 180s;
    poll(LineOutcome::Good);
    EXPECT_EQ(c.pollPeriod, 625ms);
}

TEST(HealthFigures, ReadLikeTheTooltip)
{
    FakeSerialPort port;
    ManualClock clock;
    LineCounters counters(&port, clock.fn());
    for (int i = 0; i < 1204; ++i) {
        counters.requestSent(Exchange::Live, 4, 5, {});
        const LineOutcome o = i == 100 || i == 700 ? LineOutcome::NoAnswer : LineOutcome::Good;
        replyAfter(port, clock, i == 300 ? 61ms : 46ms);
        counters.replyJudged(Exchange::Live, 4, 5, {}, o);
    }
    clock.now += 400ms;
    EXPECT_EQ(healthFigures(5, counters.of(5), clock.now),
              "ID 5 · 1 204 polls · 99.8 % answered · 2 no answer · 0 CRC errors · reply 46 ms, worst 61 ms · "
              "last good reply 0.4 s ago");

    counters.requestSent(Exchange::Write, 4, 5, {});
    counters.replyJudged(Exchange::Write, 4, 5, {}, LineOutcome::ExceptionReply);
    counters.requestSent(Exchange::Live, 4, 5, {});
    counters.replyJudged(Exchange::Live, 4, 5, {}, LineOutcome::WrongReply);
    counters.requestSent(Exchange::Live, 4, 5, {});
    counters.replyJudged(Exchange::Live, 4, 5, {}, LineOutcome::CrcError);
    clock.now += 75s;
    EXPECT_EQ(healthFigures(5, counters.of(5), clock.now),
              "ID 5 · 1 207 polls · 99.6 % answered · 2 no answer · 1 CRC error · 1 wrong reply · "
              "1 exception reply · reply 46 ms, worst 61 ms · last good reply 1 min 15 s ago");

    EXPECT_EQ(healthFigures(9, counters.of(9), clock.now), "ID 9 · 0 polls · 0 no answer · 0 CRC errors · no good reply yet");
}

TEST(HealthTexts, NumbersAndDurations)
{
    const std::pair<std::uint64_t, const char *> numbers[] = {
        {0, "0"}, {999, "999"}, {1000, "1 000"}, {1204, "1 204"}, {1234567, "1 234 567"}};
    for (const auto &[n, text] : numbers)
        EXPECT_EQ(groupedNumber(n), text);
    const std::pair<std::chrono::milliseconds, const char *> durations[] = {
        {0ms, "0.0 s"}, {400ms, "0.4 s"}, {9999ms, "10.0 s"}, {10s, "10 s"}, {59999ms, "59 s"},
        {60s, "1 min 0 s"}, {3599s, "59 min 59 s"}, {3600s, "1 h 0 min"}, {-5ms, "0.0 s"}};
    for (const auto &[d, text] : durations)
        EXPECT_EQ(durationText(d), text) << d.count();
    EXPECT_EQ(millisecondsText(46499us), "46 ms");
    EXPECT_EQ(millisecondsText(46500us), "47 ms");
}

} // namespace
