#include "mqtt_buffer.h"

#include <algorithm>

namespace orbalis {

MqttBuffer::MqttBuffer(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void MqttBuffer::onPush(std::function<void()> wake)
{
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void MqttBuffer::keepAtMost(std::size_t count)
{
    while (messages_.size() > count) {
        // Retained messages are at most one per topic; the oldest of the others goes.
        auto victim =
            std::find_if(messages_.begin(), messages_.end(), [](const MqttMessage &m) { return !m.retain; });
        messages_.erase(victim == messages_.end() ? messages_.begin() : victim);
        dropped_.fetch_add(1, std::memory_order_relaxed);
    }
}

void MqttBuffer::push(MqttMessage message)
{
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        if (message.retain) {
            const auto older = std::find_if(messages_.begin(), messages_.end(), [&](const MqttMessage &m) {
                return m.retain && m.topic == message.topic;
            });
            if (older != messages_.end())
                messages_.erase(older);
        }
        keepAtMost(capacity_ - 1);
        messages_.push_back(std::move(message));
        wake = wake_;
    }
    if (wake)
        wake();
}

void MqttBuffer::pushFront(std::vector<MqttMessage> messages)
{
    std::lock_guard lock(mutex_);
    for (auto m = messages.rbegin(); m != messages.rend(); ++m) {
        // A retained state that changed meanwhile is not sent in its old form.
        if (m->retain && std::any_of(messages_.begin(), messages_.end(), [&](const MqttMessage &waiting) {
                return waiting.retain && waiting.topic == m->topic;
            }))
            continue;
        messages_.push_front(std::move(*m));
    }
    keepAtMost(capacity_);
}

std::optional<MqttMessage> MqttBuffer::pop()
{
    std::lock_guard lock(mutex_);
    if (messages_.empty())
        return std::nullopt;
    MqttMessage m = std::move(messages_.front());
    messages_.pop_front();
    return m;
}

std::size_t MqttBuffer::size() const
{
    std::lock_guard lock(mutex_);
    return messages_.size();
}

std::size_t MqttBuffer::capacity() const
{
    return capacity_;
}

} // namespace orbalis
