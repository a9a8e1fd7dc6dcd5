// Each bound controller online or offline by the rule that washes a slot
// grey, told once per change; a controller no longer bound is forgotten.

#include "mqtt/availability_watch.h"

#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"

#include <gtest/gtest.h>

using namespace orbalis;
using namespace std::chrono;

namespace {

struct Line {
    Line()
    {
        console.line.attach(&port, &timerRead, &timerWrite);
        port.setPortOpen(true);
    }
    // One poll of the controller, 100 ms after the last.
    void poll(std::uint8_t id, bool answered)
    {
        now += milliseconds(100);
        counters.requestSent(Exchange::Live, 0, id, test::liveRequest(id));
        counters.replyJudged(Exchange::Live, 0, id, {}, answered ? LineOutcome::Good : LineOutcome::NoAnswer);
    }
    QString changes()
    {
        QStringList out;
        for (const AvailabilityChange &c : watch.look())
            out << QStringLiteral("%1 %2%3")
                       .arg(c.id)
                       .arg(c.now == Availability::Online ? "online" : c.now == Availability::Offline ? "offline" : "unknown")
                       .arg(c.now == Availability::Offline ? QStringLiteral(" (") + oldValuesWord(c.why) + u')' : QString());
        return out.join(QStringLiteral(", "));
    }

    Console console;
    test::FakeSerialPort port;
    test::FakeTimer timerRead, timerWrite;
    SteadyTime now{seconds(100)};
    LineCounters counters{nullptr, [this] { return now; }};
    AvailabilityWatch watch{console, counters};
};

TEST(AvailabilityWatch, EachControllerIsToldOncePerChangeByTheGreyWashRule)
{
    Line l;
    l.console.slots.SlotId[0] = 1;
    l.console.slots.SlotId[4] = 2;
    EXPECT_EQ(l.changes(), "");   // nothing polled yet: nothing claimed
    l.poll(1, true);
    l.poll(2, false);
    EXPECT_EQ(l.changes(), "1 online");
    EXPECT_EQ(l.changes(), "");
    for (int i = 0; i < 4; ++i) {
        l.poll(1, true);
        l.poll(2, false);
    }
    EXPECT_EQ(l.changes(), "2 offline (no reply)");   // five in a row
    l.poll(1, true);
    l.poll(2, true);
    EXPECT_EQ(l.changes(), "2 online");
    // No poll for longer than five periods (polling stopped for a write, a scan).
    l.now += seconds(2);
    EXPECT_EQ(l.changes(), "1 offline (not polled), 2 offline (not polled)");
    l.poll(1, true);
    l.poll(2, true);
    EXPECT_EQ(l.changes(), "1 online, 2 online");
    l.port.setPortOpen(false);
    EXPECT_EQ(l.changes(), "1 offline (port lost), 2 offline (port lost)");
    l.port.setPortOpen(true);
    l.poll(1, true);
    l.poll(2, true);
    EXPECT_EQ(l.changes(), "1 online, 2 online");
    // Slot 5 bound to another controller: 2 is gone from the line.
    l.console.slots.SlotId[4] = 3;
    EXPECT_EQ(l.changes(), "2 unknown");
}

} // namespace
