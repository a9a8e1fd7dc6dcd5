#pragma once

#include "alarms/alarm_tracker.h"
#include "core/line_counters.h"
#include "model/register_map.h"
#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"

#include <QTimeZone>
#include <memory>
#include <vector>

namespace orbalis::test {

// Every change an observer was told of.
struct ChangeLog : AlarmObserver {
    void alarmChanged(const AlarmChange &change) override { changes.push_back(change); }
    void alarmRatesChanged() override { ++ratesChanges; }
    std::vector<AlarmChange> changes;
    int ratesChanges = 0;
};

// A live-value reply of controller id with PV, SV and the status word.
inline QByteArray statusReply(int id, std::uint16_t status, std::int16_t pv = 253, std::int16_t sv = 300)
{
    return liveReply(id,
                     {{InputRegisterBase, std::uint16_t(pv)},
                      {InputRegisterBase + 1, std::uint16_t(sv)},
                      {InputRegisterBase + 3, status}});
}

// The tracker over a console whose slots are bound as given, on a fake port
// and a clock the test moves. poll() reports an exchange the way the polling
// cycle does: to the counters first, then to the tracker.
struct TrackedConsole {
    explicit TrackedConsole(std::initializer_list<std::pair<int, int>> slotIds)
        : clock(QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC)), counters(&port)
    {
        console.clock = &clock;
        console.line.attach(&port, nullptr, nullptr);
        console.settings.serial.Port = QStringLiteral("COM1");
        for (auto [slot, id] : slotIds) {
            console.slots.SlotId[std::size_t(slot)] = std::uint8_t(id);
            console.slots.Slot_DP_Code[std::size_t(slot)] = 48;
            console.settings.panel.NameText[std::size_t(slot)] = QStringLiteral("Oven%1").arg(slot + 1);
        }
        port.setPortOpen(true);
        tracker = std::make_unique<AlarmTracker>(console, counters, QStringLiteral("operator"));
        tracker->addObserver(&log);
        tracker->tick();
    }

    void poll(int slot, const QByteArray &reply, LineOutcome outcome = LineOutcome::Good)
    {
        const int id = console.slots.SlotId[std::size_t(slot)];
        counters.requestSent(Exchange::Live, slot, std::uint8_t(id), liveRequest(id));
        counters.replyJudged(Exchange::Live, slot, std::uint8_t(id), reply, outcome);
        tracker->replyJudged(Exchange::Live, slot, std::uint8_t(id), reply, outcome);
    }
    void pollStatus(int slot, std::uint16_t status)
    {
        poll(slot, statusReply(console.slots.SlotId[std::size_t(slot)], status));
    }
    void silence(int slot, int polls)
    {
        for (int i = 0; i < polls; ++i)
            poll(slot, {}, LineOutcome::NoAnswer);
    }
    void wait(qint64 ms) { clock.set(clock.now().addMSecs(ms)); }
    AlarmKey key(int slot, AlarmKind kind) const { return {slot, console.slots.SlotId[std::size_t(slot)], kind}; }
    // The changes told since the last call.
    std::vector<AlarmChange> taken()
    {
        std::vector<AlarmChange> out;
        out.swap(log.changes);
        return out;
    }

    Console console;
    FixedClock clock;
    FakeSerialPort port;
    LineCounters counters;
    ChangeLog log;
    std::unique_ptr<AlarmTracker> tracker;
};

} // namespace orbalis::test
