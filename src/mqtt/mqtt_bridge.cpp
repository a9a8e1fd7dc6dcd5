#include "mqtt_bridge.h"

#include "mqtt_payloads.h"
#include "mqtt_publisher.h"

#include "core/console_core.h"
#include "core/line_watch.h"
#include "core/write_cycle.h"
#include "model/register_map.h"
#include "state/console.h"

#include <QPointer>
#include <QSysInfo>

namespace orbalis {

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

// The holding register a mnemonic names, exactly as the register map spells it.
const RegisterInfo *parameterOf(const QString &mnemonic)
{
    for (const RegisterInfo &r : holdingRegisters())
        if (QLatin1String(r.mnemonic.data(), qsizetype(r.mnemonic.size())) == mnemonic)
            return &r;
    return nullptr;
}

} // namespace

MqttBridge::MqttBridge(Console &console, ConsoleCore &core, QObject *parent)
    : QObject(parent), console_(console), core_(core)
{
    availabilityTimer_.setInterval(AvailabilityMs);
    connect(&availabilityTimer_, &QTimer::timeout, this, &MqttBridge::lookAtAvailability);
    healthTimer_.setInterval(HealthMs);
    connect(&healthTimer_, &QTimer::timeout, this, &MqttBridge::publishHealth);
    writeTimer_.setInterval(50);
    writeTimer_.setSingleShot(true);
    connect(&writeTimer_, &QTimer::timeout, this, &MqttBridge::nextWrite);
}

MqttBridge::~MqttBridge()
{
    stop();
}

void MqttBridge::setLog(std::function<void(const QString &)> log)
{
    std::lock_guard lock(logMutex_);
    log_ = std::move(log);
}

void MqttBridge::say(const QString &sentence) const
{
    std::function<void(const QString &)> log;
    {
        std::lock_guard lock(logMutex_);
        log = log_;
    }
    if (log)
        log(sentence);
}

QStringList MqttBridge::start(const MqttSettings &settings, const QStringList &problems)
{
    stop();
    settings_ = settings;
    QStringList told = problems;
    for (const QString &problem : problems)
        say(problem);
    if (!settings_.enabled)
        return told;

    const QString prefix = effectivePrefix(settings_, QSysInfo::machineHostName(), console_.settings.serial.Port);
    topics_ = MqttTopics(prefix);
    liveTopics_.fill(QByteArray());
    node_ = discoveryNode(prefix);
    MqttConnection connection;
    connection.settings = settings_;
    connection.clientId = effectiveClientId(settings_, prefix);
    connection.willTopic = topics_.status();
    connection.willPayload = Offline;
    if (!settings_.passwordFile.isEmpty()) {
        const PasswordRead password = readPasswordFile(settings_.passwordFile);
        if (password.password)
            connection.password = password.password;
        else
            told << password.problem + QStringLiteral("; connecting without a password");
        if (!password.password)
            say(told.last());
    }
    QList<QByteArray> subscriptions;
    // Without a mnemonic allowed nothing can be written, and nothing is listened to.
    if (!settings_.writeAllow.isEmpty())
        subscriptions << topics_.setFilter();

    buffer_ = std::make_unique<MqttBuffer>(std::size_t(settings_.buffer));
    MqttPublisher::Hooks hooks;
    hooks.stateChanged = [this](const QString &sentence) { say(sentence); };
    hooks.received = [this](const QByteArray &topic, const QByteArray &payload, bool retained) {
        // From the publisher's thread to the thread that owns the line.
        QMetaObject::invokeMethod(
            this, [this, topic, payload, retained] { received(topic, payload, retained); }, Qt::QueuedConnection);
    };
    publisher_ = std::make_unique<MqttPublisher>(connection, *buffer_, subscriptions, hooks);
    availability_ = std::make_unique<AvailabilityWatch>(console_, core_.watch().counters());
    discovered_.fill(false);
    console_.lineObservers.add(this);
    publisher_->start();
    lookAtAvailability();
    availabilityTimer_.start();
    healthTimer_.start();
    return told;
}

void MqttBridge::stop()
{
    if (!publisher_)
        return;
    availabilityTimer_.stop();
    healthTimer_.stop();
    writeTimer_.stop();
    console_.lineObservers.remove(this);
    for (const PendingWrite &w : writes_)
        publishResult(w.id, w.mnemonic, {false, {}, QStringLiteral("The publisher ended before the write")});
    writes_.clear();
    // The controllers are no longer watched: none is available through this line.
    std::vector<MqttMessage> last;
    for (int id = 1; id < 256; ++id)
        if (availability_->of(std::uint8_t(id)) != Availability::Unknown)
            last.push_back({topics_.availability(id), Offline, true});
    last.push_back({topics_.status(), Offline, true});
    publisher_->finish(std::move(last), FinishWait);
    publisher_.reset();
    buffer_.reset();
    availability_.reset();
    writing_ = false;
}

QString MqttBridge::stateText() const
{
    if (!publisher_)
        return settings_.enabled ? QStringLiteral("ended") : QStringLiteral("off");
    return publisher_->status().text;
}

QString MqttBridge::summary() const
{
    if (!publisher_)
        return stateText();
    return stateText() + QStringLiteral(" · %1 messages dropped · %2 waiting").arg(dropped()).arg(waiting());
}

std::uint64_t MqttBridge::dropped() const
{
    return buffer_ ? buffer_->dropped() : 0;
}

std::size_t MqttBridge::waiting() const
{
    return buffer_ ? buffer_->size() : 0;
}

void MqttBridge::replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                             LineOutcome outcome)
{
    if (exchange != Exchange::Live || outcome != LineOutcome::Good || !isSlot(slot) || !buffer_)
        return;
    QByteArray json = liveJson(console_.clock->nowUtc(), slot, nameOf(slot), id, reply,
                               console_.slots.Slot_DP_Code[size_t(slot)]);
    if (json.isEmpty())
        return;
    // Made once per controller; each message then shares it.
    QByteArray &topic = liveTopics_[id];
    if (topic.isEmpty())
        topic = topics_.live(id);
    buffer_->push({topic, std::move(json), false});
}

void MqttBridge::alarmChanged(const AlarmChange &change)
{
    if (buffer_)
        buffer_->push({topics_.alarm(change.key.isLine() ? 0 : change.key.controllerId), alarmJson(change), false});
}

void MqttBridge::lookAtAvailability()
{
    if (!publisher_)
        return;
    for (const AvailabilityChange &change : availability_->look())
        publisher_->keepStanding(
            {topics_.availability(change.id), change.now == Availability::Online ? Online : Offline, true});
    if (settings_.haDiscovery)
        publishDiscovery();
}

void MqttBridge::publishDiscovery()
{
    std::array<bool, 256> bound{};
    for (std::uint8_t id : console_.slots.SlotId)
        bound[id] = id != 0;
    for (int id = 1; id < 256; ++id) {
        if (bound[size_t(id)] == discovered_[size_t(id)])
            continue;
        discovered_[size_t(id)] = bound[size_t(id)];
        const auto messages = bound[size_t(id)]
            ? discoveryMessages(settings_.haPrefix, node_, topics_, id, nameOf(slotOf(id)))
            : discoveryRemovals(settings_.haPrefix, node_, id);
        for (const MqttMessage &m : messages)
            publisher_->keepStanding(m);
    }
}

void MqttBridge::publishHealth()
{
    if (!buffer_)
        return;
    const LineCounters &counters = core_.watch().counters();
    std::array<bool, 256> done{};
    const QDateTime time = console_.clock->nowUtc();
    for (std::uint8_t id : console_.slots.SlotId) {
        if (id == 0 || done[id])
            continue;
        done[id] = true;
        buffer_->push({topics_.health(id), healthJson(time, id, counters.of(id), counters.now()), false});
    }
}

int MqttBridge::slotOf(int id) const
{
    for (int k = 0; k < SlotCount; ++k)
        if (console_.slots.SlotId[size_t(k)] == id)
            return k;
    return -1;
}

QString MqttBridge::nameOf(int slot) const
{
    return isSlot(slot) ? console_.settings.panel.NameText[size_t(slot)].trimmed() : QString();
}

void MqttBridge::received(const QByteArray &topic, const QByteArray &payload, bool retained)
{
    if (!publisher_)
        return;
    const std::optional<MqttTopics::SetTopic> set = topics_.parseSet(topic);
    if (!set)
        return;
    const auto refuse = [&](const QString &reason) { publishResult(set->id, set->mnemonic, {false, {}, reason}); };
    // A retained command would be carried out again at every connect.
    if (retained)
        return refuse(QStringLiteral("A retained set message is not taken: send it without retain"));
    // Clearing a retained message sends an empty one; it must not write 0.
    if (payload.isEmpty())
        return refuse(QStringLiteral("An empty set message is no value"));
    if (!settings_.allowsWrite(set->mnemonic))
        return refuse(set->mnemonic + QStringLiteral(" may not be written: it is not in write_allow"));
    const RegisterInfo *r = parameterOf(set->mnemonic);
    if (!r)
        return refuse(set->mnemonic + QStringLiteral(" is no parameter"));
    const int slot = slotOf(set->id);
    if (slot < 0)
        return refuse(QStringLiteral("Controller %1 is bound to no slot").arg(set->id));
    PendingWrite w{slot, r->address, set->id, set->mnemonic, QString::fromUtf8(payload), {}};
    w.waited.start();
    writes_.push_back(std::move(w));
    nextWrite();
}

void MqttBridge::nextWrite()
{
    if (writing_ || writes_.empty() || !publisher_)
        return;
    PendingWrite &w = writes_.front();
    const int id = w.id;
    const QString mnemonic = w.mnemonic;
    const WriteCycle::Start started = core_.writeCycle().startRemoteWrite(
        WriteOrigin::Mqtt, w.slot, w.address, w.text,
        // The write may outlast a publisher that ends meanwhile.
        [self = QPointer<MqttBridge>(this), id, mnemonic](const RemoteWriteResult &result) {
            if (!self)
                return;
            self->publishResult(id, mnemonic, result);
            self->writing_ = false;
            self->writeTimer_.start();
        });
    if (started == WriteCycle::Start::Busy) {
        if (w.waited.elapsed() < WriteWaitMs) {
            writeTimer_.start();
            return;
        }
        publishResult(id, mnemonic,
                      {false, {}, QStringLiteral("The line was not free for %1 s (a parameter window's write or "
                                                 "read, a scan, or polling stopped)")
                                      .arg(WriteWaitMs / 1000)});
    }
    writing_ = started == WriteCycle::Start::Started;
    writes_.pop_front();
    if (!writing_)
        writeTimer_.start();
}

void MqttBridge::publishResult(int id, const QString &mnemonic, const RemoteWriteResult &result)
{
    if (buffer_)
        buffer_->push({topics_.result(id, mnemonic), writeResultJson(console_.clock->nowUtc(), result), false});
}

} // namespace orbalis
