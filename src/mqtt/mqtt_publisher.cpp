#include "mqtt_publisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orbalis {

using namespace std::chrono;

MqttPublisher::MqttPublisher(MqttConnection connection, MqttBuffer &buffer, QList<QByteArray> subscriptions,
                             Hooks hooks)
    : connection_(std::move(connection)),
      buffer_(buffer),
      subscriptions_(std::move(subscriptions)),
      hooks_(std::move(hooks)),
      broker_(brokerName(connection_.settings))
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    status_ = {State::Connecting, QStringLiteral("connecting to ") + broker_};
    buffer_.onPush([this] { wakeOnce(); });
}

MqttPublisher::~MqttPublisher()
{
    if (thread_.joinable())
        finish({}, milliseconds(0));
    buffer_.onPush({});
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

seconds MqttPublisher::reconnectDelay(int failedAttempts)
{
    if (failedAttempts <= 1)
        return seconds(1);
    if (failedAttempts > 7)
        return seconds(60);
    return std::min(seconds(1 << (failedAttempts - 1)), seconds(60));
}

void MqttPublisher::start()
{
    if (thread_.joinable())
        return;
    nextAttempt_ = Clock::now();
    thread_ = std::thread([this] { run(); });
}

void MqttPublisher::keepStanding(MqttMessage message)
{
    message.retain = true;
    {
        std::lock_guard lock(mutex_);
        standing_[message.topic] = message;
    }
    buffer_.push(std::move(message));
}

void MqttPublisher::finish(std::vector<MqttMessage> last, milliseconds wait)
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
        last_ = std::move(last);
        deadline_ = Clock::now() + wait;
    }
    wake();
    if (thread_.joinable())
        thread_.join();
}

MqttPublisher::Status MqttPublisher::status() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

bool MqttPublisher::finishing() const
{
    std::lock_guard lock(mutex_);
    return finishing_;
}

void MqttPublisher::wake()
{
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] const auto ignored = ::write(wakeFd_, &one, sizeof one);
    }
}

void MqttPublisher::wakeOnce()
{
    // A pending wake will find this message too: no second call into the kernel.
    if (!wakePending_.exchange(true, std::memory_order_acq_rel))
        wake();
}

void MqttPublisher::setStatus(State state, const QString &text, const QString &sentence)
{
    state_ = state;
    {
        std::lock_guard lock(mutex_);
        status_ = {state, text};
    }
    // One sentence per change of state: a retry that fails as the last one
    // did says nothing new.
    if (!sentence.isEmpty() && sentence != lastSentence_) {
        lastSentence_ = sentence;
        if (hooks_.stateChanged)
            hooks_.stateChanged(sentence);
    }
}

int MqttPublisher::waitMs() const
{
    // Housekeeping (keepalive) at least once a second; a due attempt at once.
    if (state_ != State::Waiting)
        return 1000;
    const auto until = duration_cast<milliseconds>(nextAttempt_ - Clock::now()).count();
    return int(std::clamp<long long>(until, 0, 1000));
}

void MqttPublisher::run()
{
    bool lastSent = false;
    for (;;) {
        if (finishing()) {
            Clock::time_point deadline;
            {
                std::lock_guard lock(mutex_);
                deadline = deadline_;
            }
            if (state_ != State::Connected || Clock::now() >= deadline)
                break;
            if (!lastSent && buffer_.size() == 0 && unconfirmed_.empty()) {
                std::vector<MqttMessage> last;
                {
                    std::lock_guard lock(mutex_);
                    last.swap(last_);
                }
                for (MqttMessage &m : last)
                    publish(std::move(m));
                lastSent = true;
            }
            if (lastSent && unconfirmed_.empty()) {
                handle_.disconnect();
                break;
            }
        }
        if (state_ == State::Waiting && Clock::now() >= nextAttempt_ && !finishing())
            attempt();
        if (state_ == State::Connecting && Clock::now() - attemptStarted_ > ConnectTimeout)
            lost(QStringLiteral("no answer within %1 s").arg(ConnectTimeout.count()));
        if (state_ == State::Connected && !lastSent)
            sendWaiting();
        if (handle_.hasSocket() && state_ != State::Waiting) {
            const QString ended = handle_.turn(wakeFd_, waitMs());
            if (!ended.isEmpty())
                lost(ended);
        } else {
            pollfd fd{wakeFd_, POLLIN, 0};
            if (::poll(&fd, 1, waitMs()) > 0) {
                std::uint64_t n = 0;
                [[maybe_unused]] const auto ignored = ::read(wakeFd_, &n, sizeof n);
            }
        }
    }
    // Without the DISCONNECT above the broker sends the Last Will.
    handle_.drop();
    setStatus(State::Ended, QStringLiteral("ended"), QString());
}

void MqttPublisher::attempt()
{
    refusal_.clear();
    attemptStarted_ = Clock::now();
    MosquittoHandle::Events events;
    events.connack = [this](int code) { connacked(code); };
    events.published = [this](int mid) {
        const auto it = std::find_if(unconfirmed_.begin(), unconfirmed_.end(),
                                     [mid](const Unconfirmed &u) { return u.mid == mid; });
        if (it != unconfirmed_.end())
            unconfirmed_.erase(it);
    };
    events.message = [this](const mosquitto_message &m) {
        if (hooks_.received && m.topic)
            hooks_.received(QByteArray(m.topic),
                            QByteArray(static_cast<const char *>(m.payload), m.payload ? m.payloadlen : 0), m.retain);
    };
    QString problem = handle_.setUp(connection_, events);
    if (problem.isEmpty())
        problem = handle_.connect();
    if (!problem.isEmpty()) {
        lost(problem);
        return;
    }
    state_ = State::Connecting;
    {
        std::lock_guard lock(mutex_);
        status_ = {State::Connecting, QStringLiteral("connecting to ") + broker_};
    }
}

void MqttPublisher::connacked(int code)
{
    if (code != 0) {
        refusal_ = QStringLiteral("the broker refused the connection: ") + connackText(code);
        return;   // the read that brought it ends the connection
    }
    failedAttempts_ = 0;
    setStatus(State::Connected, QStringLiteral("connected to ") + broker_,
              QStringLiteral("broker ") + broker_ + QStringLiteral(" connected"));
    publish({connection_.willTopic, QByteArrayLiteral("online"), true});
    std::vector<MqttMessage> standing;
    {
        std::lock_guard lock(mutex_);
        for (const auto &[topic, m] : standing_)
            standing.push_back(m);
    }
    for (MqttMessage &m : standing)
        publish(std::move(m));
    for (const QByteArray &filter : subscriptions_)
        mosquitto_subscribe(handle_.get(), nullptr, filter.constData(), 1);
}

void MqttPublisher::sendWaiting()
{
    // Taken before the buffer is looked at: a message added from now on wakes again.
    wakePending_.store(false, std::memory_order_release);
    while (state_ == State::Connected && int(unconfirmed_.size()) < MaxUnconfirmed) {
        std::optional<MqttMessage> m = buffer_.pop();
        if (!m)
            return;
        if (!publish(std::move(*m)))
            return;
    }
}

bool MqttPublisher::publish(MqttMessage message)
{
    int mid = 0;
    const int rc = mosquitto_publish(handle_.get(), &mid, message.topic.constData(), int(message.payload.size()),
                                     message.payload.constData(), connection_.settings.qos, message.retain);
    if (rc == MOSQ_ERR_SUCCESS) {
        unconfirmed_.push_back({mid, std::move(message)});
        return true;
    }
    if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO) {
        buffer_.pushFront({std::move(message)});
        lost(handle_.errorText(rc));
        return false;
    }
    // A message the broker could never take (a topic that is not UTF-8, too
    // large): it is left out, and the next one goes.
    return true;
}

void MqttPublisher::lost(const QString &reason)
{
    const bool wasConnected = state_ == State::Connected;
    const QString why = refusal_.isEmpty() ? reason : refusal_;
    // Not confirmed: sent again after the next connect, in their order.
    std::vector<MqttMessage> again;
    for (Unconfirmed &u : unconfirmed_)
        again.push_back(std::move(u.message));
    unconfirmed_.clear();
    buffer_.pushFront(std::move(again));
    handle_.drop();
    ++failedAttempts_;
    const seconds delay = reconnectDelay(failedAttempts_);
    nextAttempt_ = Clock::now() + delay;
    const QString sentence = wasConnected ? QStringLiteral("broker ") + broker_ + QStringLiteral(" lost: ") + why
                                          : QStringLiteral("broker ") + broker_ + QStringLiteral(" not reachable: ") + why;
    setStatus(State::Waiting,
              QStringLiteral("waiting for ") + broker_ + QStringLiteral(" (") + why + QStringLiteral("); next try in ")
                  + QString::number(delay.count()) + QStringLiteral(" s"),
              sentence);
}

} // namespace orbalis
