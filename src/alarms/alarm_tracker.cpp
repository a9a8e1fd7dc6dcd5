#include "alarm_tracker.h"

#include "core/health_rules.h"
#include "core/line_counters.h"
#include "model/display.h"
#include "model/register_addresses.h"
#include "model/reply_registers.h"
#include "model/status_word.h"
#include "state/console.h"

#include <algorithm>

namespace orbalis {

namespace {

std::uint16_t liveRegister(const QByteArray &reply, int address)
{
    const int hi = registerPosition(address, InputRegisterBase);
    return replyRegister(reply, hi, hi + 1);
}

} // namespace

AlarmTracker::AlarmTracker(const Console &console, const LineCounters &counters, QString user, QObject *parent)
    : QObject(parent), console_(console), counters_(counters), user_(std::move(user))
{
    timer_.setInterval(TickMs);
    connect(&timer_, &QTimer::timeout, this, &AlarmTracker::tick);
}

AlarmTracker::~AlarmTracker() = default;

void AlarmTracker::start()
{
    tick();
    timer_.start();
}

qint64 AlarmTracker::nowMs() const
{
    return console_.clock->nowMs();
}

void AlarmTracker::addObserver(AlarmObserver *observer)
{
    observers_.push_back(observer);
}

void AlarmTracker::removeObserver(AlarmObserver *observer)
{
    std::erase(observers_, observer);
}

QString AlarmTracker::slotName(int slot) const
{
    return isSlot(slot) ? console_.settings.panel.NameText[std::size_t(slot)].trimmed() : QString();
}

bool AlarmTracker::apply(const AlarmKey &key, AlarmEvent event, const QString &comment,
                         std::optional<qint64> shelvedUntilMs)
{
    const auto found = alarms_.find(key);
    const AlarmState from = found == alarms_.end() ? AlarmState::Normal : found->second.state;
    const AlarmTransition t = alarmTransition(from, event);
    if (!t.change)
        return false;

    AlarmChange change;
    change.timeMs = nowMs();
    change.key = key;
    change.change = *t.change;
    change.from = from;
    change.to = t.next;
    change.comment = comment;
    change.user = user_;
    if (!key.isLine()) {
        const Binding &b = bindings_[std::size_t(key.slot)];
        // Values and name of the controller the alarm belongs to, also when
        // the slot shows another one by now.
        change.slotName = b.controllerId == key.controllerId ? b.name : slotName(key.slot);
        if (b.controllerId == key.controllerId && b.shown) {
            change.pv = scaledText(b.shown->pv, b.shown->dpCode);
            change.sv = scaledText(b.shown->sv, b.shown->dpCode);
        }
    }

    if (t.next == AlarmState::Normal) {
        if (found != alarms_.end())
            alarms_.erase(found);
    } else {
        const bool isNew = found == alarms_.end();
        Record &r = alarms_[key];
        r.state = t.next;
        r.slotName = change.slotName;
        // Acknowledging or shelving does not make an alarm newer.
        if (isNew || change.change == AlarmChangeKind::Activated || change.change == AlarmChangeKind::Returned)
            r.sinceMs = change.timeMs;
        if (event == AlarmEvent::Shelve)
            r.shelvedUntilMs = shelvedUntilMs;
        else if (!isShelved(t.next))
            r.shelvedUntilMs.reset();
        change.shelvedUntilMs = r.shelvedUntilMs;
    }
    if (*t.change == AlarmChangeKind::Activated)
        rates_.activated(key, change.timeMs, !isShelved(t.next));

    for (AlarmObserver *o : observers_)
        o->alarmChanged(change);
    if (*t.change == AlarmChangeKind::Activated)
        updateRates();
    return true;
}

void AlarmTracker::setCondition(const AlarmKey &key, bool active)
{
    apply(key, active ? AlarmEvent::Activate : AlarmEvent::Return);
}

void AlarmTracker::updateRates()
{
    if (!rates_.update(nowMs()))
        return;
    for (AlarmObserver *o : observers_)
        o->alarmRatesChanged();
}

void AlarmTracker::followBinding(int slot)
{
    Binding &b = bindings_[std::size_t(slot)];
    const int id = console_.slots.SlotId[std::size_t(slot)];
    if (id == b.controllerId) {
        if (id != 0)
            b.name = slotName(slot);
        return;
    }
    // What the slot showed of the old controller is no longer watched: its
    // active alarms return (those not acknowledged stay for the operator).
    const int oldId = b.controllerId;
    if (oldId != 0) {
        std::vector<AlarmKey> old;
        for (const auto &[key, record] : alarms_)
            if (key.slot == slot && key.controllerId == oldId && isActive(record.state))
                old.push_back(key);
        for (const AlarmKey &key : old)
            apply(key, AlarmEvent::Return, slotRebound());
    }
    b = Binding{id, id != 0 ? slotName(slot) : QString(), std::nullopt};
}

void AlarmTracker::takeStatus(int slot, int id, const QByteArray &reply)
{
    std::uint16_t status = 0;
    Binding &b = bindings_[std::size_t(slot)];
    try {
        status = liveRegister(reply, reg::STATUS_IN);
        b.shown = Binding::Shown{std::int16_t(liveRegister(reply, reg::PV_IN)),
                                 std::int16_t(liveRegister(reply, reg::SV_IN)),
                                 console_.slots.Slot_DP_Code[std::size_t(slot)]};
    } catch (const Error &) {
        return; // a good reply always holds them; nothing to read otherwise
    }
    const std::uint8_t lamps = litAlarmLamps(status);
    setCondition({slot, id, AlarmKind::Alarm1}, lamps & Alarm1Lamp);
    setCondition({slot, id, AlarmKind::Alarm2}, lamps & Alarm2Lamp);
    const int error = shownErrorCode(status);
    for (int code = 1; code <= HighestShownErrorCode; ++code)
        setCondition({slot, id, errorKind(code)}, code == error);
}

void AlarmTracker::replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                               LineOutcome outcome)
{
    if (exchange != Exchange::Live || !isSlot(slot) || id == 0)
        return;
    followBinding(slot);
    if (bindings_[std::size_t(slot)].controllerId != id)
        return; // polled under a binding that is gone by now
    if (outcome == LineOutcome::Good)
        takeStatus(slot, id, reply);
    setCondition({slot, id, AlarmKind::NoReply}, noReply(counters_.of(id)));
}

void AlarmTracker::tick()
{
    for (int k = 0; k < SlotCount; ++k)
        followBinding(k);

    const bool portNamed = console_.settings.serial.Port.trimmed() != u"CLOSE";
    // The same notion as the health's "port lost": the line has a port, and it is not open.
    const bool portLost = console_.line.port() && portNamed && !console_.line.portOpen();
    setCondition(AlarmKey::line(), portLost);

    const qint64 now = nowMs();
    std::vector<AlarmKey> ended;
    for (const auto &[key, record] : alarms_)
        if (record.shelvedUntilMs && *record.shelvedUntilMs <= now)
            ended.push_back(key);
    for (const AlarmKey &key : ended)
        apply(key, AlarmEvent::Unshelve, shelvingEndedComment());

    updateRates();
}

bool AlarmTracker::acknowledge(const AlarmKey &key, const QString &comment)
{
    return apply(key, AlarmEvent::Acknowledge, comment);
}

int AlarmTracker::acknowledgeAll(const QString &comment)
{
    std::vector<AlarmKey> waiting;
    for (const auto &[key, record] : alarms_)
        if (isUnacknowledged(record.state))
            waiting.push_back(key);
    int done = 0;
    for (const AlarmKey &key : waiting)
        done += apply(key, AlarmEvent::Acknowledge, comment) ? 1 : 0;
    return done;
}

bool AlarmTracker::shelve(const AlarmKey &key, std::chrono::minutes duration, const QString &comment)
{
    const auto held = std::clamp(duration, ShortestShelving, LongestShelving);
    const qint64 until = nowMs() + std::chrono::duration_cast<std::chrono::milliseconds>(held).count();
    return apply(key, AlarmEvent::Shelve, comment, until);
}

bool AlarmTracker::unshelve(const AlarmKey &key, const QString &comment)
{
    return apply(key, AlarmEvent::Unshelve, comment);
}

std::vector<AlarmTracker::Alarm> AlarmTracker::current() const
{
    std::vector<Alarm> out;
    for (const auto &[key, record] : alarms_)
        if (isCurrent(record.state))
            out.push_back({key, record.slotName, record.state, record.sinceMs, record.shelvedUntilMs});
    std::stable_sort(out.begin(), out.end(), [](const Alarm &a, const Alarm &b) { return a.sinceMs > b.sinceMs; });
    return out;
}

std::vector<AlarmTracker::Alarm> AlarmTracker::shelved() const
{
    std::vector<Alarm> out;
    for (const auto &[key, record] : alarms_)
        if (isShelved(record.state))
            out.push_back({key, record.slotName, record.state, record.sinceMs, record.shelvedUntilMs});
    std::stable_sort(out.begin(), out.end(),
                     [](const Alarm &a, const Alarm &b) { return a.shelvedUntilMs < b.shelvedUntilMs; });
    return out;
}

AlarmState AlarmTracker::state(const AlarmKey &key) const
{
    const auto found = alarms_.find(key);
    return found == alarms_.end() ? AlarmState::Normal : found->second.state;
}

bool AlarmTracker::anyUnacknowledged() const
{
    return std::any_of(alarms_.begin(), alarms_.end(),
                       [](const auto &entry) { return isUnacknowledged(entry.second.state); });
}

std::vector<AlarmKind> AlarmTracker::unacknowledged(int slot) const
{
    std::vector<AlarmKind> out;
    if (!isSlot(slot))
        return out;
    const int id = console_.slots.SlotId[std::size_t(slot)];
    for (const auto &[key, record] : alarms_)
        if (key.slot == slot && key.controllerId == id && isUnacknowledged(record.state))
            out.push_back(key.kind);
    return out;
}

} // namespace orbalis
