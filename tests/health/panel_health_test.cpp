// The polling cycle reporting to the counters, and the panel showing each
// slot's health: scripted replies over a fake port, the real slot panel.

#include "health/line_health.h"
#include "health/panel_health.h"
#include "support/manual_clock.h"
#include "support/spies.h"

#include "core/polling_cycle.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "images/image_lists.h"
#include "support/fake_parameter_window.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

QByteArray brokenCrc(QByteArray reply)
{
    reply[reply.size() - 1] = char(reply[reply.size() - 1] ^ 0x5A);
    return reply;
}

class PanelHealthTest : public ::testing::Test {
protected:
    PanelHealthTest()
    {
        console.line.attach(&port, &timer, nullptr);
        console.parameterWindow = &parameterWindow;
        console.settings.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"),
                                   QStringLiteral("8"), QStringLiteral("None")};
        console.slots.Slot_DP_Code.fill(48);
        console.slots.SlotId[0] = 5;
        console.settings.panel.NameText[0] = QStringLiteral("Oven1");
        port.setPortOpen(true);
        // Each request takes the next scripted reply.
        port.onOutput = [this](const QByteArray &) {
            port.received = script.isEmpty() ? QByteArray() : script.takeFirst();
        };
        panel.resize(600, 600);
        panel.show();
        panel.layoutSlots();
    }

    // One tick: judges the reply to the last request, sends the next.
    void tick() { cycle.Timer_Read_Timer(); }
    const ControllerCounters &of(int id) { return health.counters().of(std::uint8_t(id)); }
    SlotPicture &picture(int slot) { return *panel.Pic_Control(slot); }
    // What a screen reader is told of the slot.
    QString describe(int slot)
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&picture(slot));
        return a ? a->text(QAccessible::Description) : QStringLiteral("(no accessible interface)");
    }

    QApplication &app = qtApp();   // before any widget
    Console console;
    FakeSerialPort port;
    FakeTimer timer{100};
    FakeStatus status;
    FakeReporter reporter;
    FakeParameterWindow parameterWindow;
    LiveValueStoreSpy store{console};
    ImageLists images;
    SlotPanel panel{console, images};
    PollingCycle cycle{console, status, store, panel};
    LineWatch watch{console, port};
    LineHealth health{console, watch, panel, reporter, nullptr};
    QByteArrayList script;
};

} // namespace

TEST_F(PanelHealthTest, EveryOutcomeOfThePollingCycleReachesTheCountersAsJudged)
{
    struct Exchange_ {
        ReadState ask;   // Select: a live read; ReadOne or ReadAll: a parameter read of slot 0
        QByteArray reply;
        LineOutcome outcome;
    };
    const std::vector<Exchange_> exchanges = {
        {ReadState::Select, liveReply(5, {{4096, 253}}), LineOutcome::Good},
        {ReadState::Select, {}, LineOutcome::NoAnswer},
        {ReadState::Select, bytes({0x05}), LineOutcome::NoAnswer},
        {ReadState::Select, brokenCrc(liveReply(5)), LineOutcome::CrcError},
        {ReadState::Select, liveReply(6), LineOutcome::WrongReply},
        {ReadState::Select, readAllReply(5), LineOutcome::WrongReply},
        {ReadState::Select, exceptionReply(5, 4, 2), LineOutcome::ExceptionReply},
        {ReadState::ReadOne, readReply(5, 3, {250}), LineOutcome::Good},
        // A late read-all reply of this very controller is not the read-back.
        {ReadState::ReadOne, readAllReply(5), LineOutcome::WrongReply},
        {ReadState::ReadOne, exceptionReply(5, 3, 2), LineOutcome::ExceptionReply},
        {ReadState::ReadAll, readAllReply(5), LineOutcome::Good},
        {ReadState::ReadAll, readReply(5, 3, {250}), LineOutcome::WrongReply},
        {ReadState::ReadAll, readAllReply(7), LineOutcome::WrongReply},
    };
    console.line.showParametersOf(0);
    std::map<LineOutcome, std::uint64_t> expected;
    tick();   // the first live read goes out
    ASSERT_EQ(port.outputs.size(), 1);
    for (const Exchange_ &e : exchanges) {
        if (e.ask != ReadState::Select) {
            // The parameter read cuts in: the live read awaited is never judged.
            if (e.ask == ReadState::ReadAll)
                console.line.readAllParametersNext();
            else
                console.line.readParameterNext(0);
            tick();
        }
        port.received = e.reply;
        tick();
        ++expected[e.outcome];
    }
    const ControllerCounters &c = of(5);
    const std::uint64_t parameterReads = 6;
    EXPECT_EQ(c.sent, exchanges.size() + parameterReads + 1);
    EXPECT_EQ(c.notJudged, parameterReads);
    EXPECT_EQ(c.good, expected[LineOutcome::Good]);
    EXPECT_EQ(c.noAnswer, expected[LineOutcome::NoAnswer]);
    EXPECT_EQ(c.crcErrors, expected[LineOutcome::CrcError]);
    EXPECT_EQ(c.wrongReplies, expected[LineOutcome::WrongReply]);
    EXPECT_EQ(c.exceptionReplies, expected[LineOutcome::ExceptionReply]);
    EXPECT_EQ(of(6).sent + of(6).judged() + of(7).judged(), 0u);

    // The ring holds every request that went out, in order, and each judged reply.
    const TrafficRing &ring = health.traffic();
    QByteArrayList sentFrames;
    int received = 0;
    for (std::uint64_t n = ring.firstNumber(); n < ring.endNumber(); ++n) {
        if (ring.at(n).direction == TrafficDirection::Sent)
            sentFrames << ring.at(n).bytes;
        else
            ++received;
    }
    EXPECT_EQ(sentFrames, port.outputs);
    EXPECT_EQ(received, int(exchanges.size()));

    // A port that fails and cannot be opened again: the request does not go
    // out and is not counted.
    port.refuseOpen = true;
    port.setPortOpen(false);
    const auto before = c.sent;
    tick();
    tick();
    EXPECT_EQ(c.sent, before);
}

TEST_F(PanelHealthTest, SlotsShowTheirHealthOverThePictureAndSayItToAScreenReader)
{
    for (int k = 0; k < SlotCount; ++k) {
        EXPECT_EQ(picture(k).accessibleName(), QStringLiteral("Slot %1").arg(k + 1));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&picture(k));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Slot %1").arg(k + 1));
    }
    PanelHealth &ph = health.panel();
    ph.refresh();
    EXPECT_EQ(describe(1), "No controller.");
    EXPECT_EQ(describe(0), "Controller ID 5, Oven1. No values shown yet. Health: not polled yet.");
    EXPECT_FALSE(picture(0).healthMark().isValid());

    // PV 25.3, SV 30.0, output 45.0 %, Hand with alarm 1.
    const QByteArray good = liveReply(5, {{4096, 253}, {4097, 300}, {4098, 450}, {4099, 0x0301}});
    script = {good, good};
    tick();
    tick();
    tick();
    ph.refresh();
    EXPECT_EQ(picture(0).healthMark(), PanelHealth::markColour(HealthMark::Green));
    EXPECT_EQ(picture(0).oldValuesWord(), "");
    EXPECT_EQ(describe(0),
              "Controller ID 5, Oven1. PV 25.3, SV 30.0, output 45.0 %, state Hand, alarm 1 on. "
              "Health: green, the last polls were all answered.");
    EXPECT_EQ(ph.tooltip(1), "");
    EXPECT_TRUE(ph.tooltip(0).startsWith("ID 5 · 3 polls · 100 % answered · 0 no answer · 0 CRC errors · "))
        << ph.tooltip(0).toStdString();

    // Nothing answers: amber at once, red and old after five polls. The
    // retained picture keeps the values; only the widget shows the wash.
    const QImage painted = picture(0).picture().copy();
    const QImage shownBefore = picture(0).grab().toImage();
    for (int i = 0; i < 4; ++i)
        tick();
    ph.refresh();
    EXPECT_EQ(picture(0).healthMark(), PanelHealth::markColour(HealthMark::Amber));
    EXPECT_EQ(picture(0).oldValuesWord(), "");
    tick();
    ph.refresh();
    EXPECT_EQ(picture(0).healthMark(), PanelHealth::markColour(HealthMark::Red));
    EXPECT_EQ(picture(0).oldValuesWord(), "no reply");
    EXPECT_EQ(picture(0).picture(), painted);
    const QImage shownOld = picture(0).grab().toImage();
    const QRect rows = picture(0).pixelRect(0, 10, 60, 40);
    const QRect bar = picture(0).pixelRect(0, 60, 60, 10);
    EXPECT_NE(shownOld.copy(rows), shownBefore.copy(rows));
    EXPECT_EQ(shownOld.copy(bar), shownBefore.copy(bar));
    EXPECT_TRUE(describe(0).endsWith(
        "Health: red, the last 5 polls or more failed. The values shown are old: no good reply to the last 5 polls."))
        << describe(0).toStdString();
    EXPECT_TRUE(ph.tooltip(0).startsWith("The values shown are old: no good reply to the last 5 polls.\nID 5 · 8 polls"))
        << ph.tooltip(0).toStdString();

    // The tooltip the user sees is the same text.
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), picture(0).mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&picture(0), &help);
    EXPECT_EQ(QToolTip::text(), ph.tooltip(0));
    QToolTip::hideText();

    // The next good reply brings the slot back, clean.
    script = {good};
    tick();
    tick();
    ph.refresh();
    EXPECT_EQ(picture(0).oldValuesWord(), "");
    EXPECT_EQ(picture(0).healthMark(), PanelHealth::markColour(HealthMark::Amber));
    EXPECT_EQ(picture(0).grab().toImage().copy(rows), shownBefore.copy(rows));

    // The port is gone: whatever the counts say, the values are old.
    port.setPortOpen(false);
    ph.refresh();
    EXPECT_EQ(picture(0).oldValuesWord(), "port lost");
    // A frame repaint blanks the values: nothing left to call old.
    panel.repaintFrameWithName(0);
    ph.refresh();
    EXPECT_EQ(picture(0).oldValuesWord(), "");
    EXPECT_TRUE(describe(0).contains("No values shown yet."));
}
