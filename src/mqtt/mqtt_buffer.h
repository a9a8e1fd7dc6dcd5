#pragma once

#include "mqtt_message.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace orbalis {

// The messages waiting for the broker, oldest first, shared by the thread
// that polls (which only adds) and the publisher's thread (which takes).
// It holds at most `capacity` messages: when full, the oldest message that
// is not retained is dropped and counted. A retained message says how a
// thing is now, so one of the same topic still waiting is replaced by it
// rather than sent after it.
class MqttBuffer {
public:
    explicit MqttBuffer(std::size_t capacity);
    MqttBuffer(const MqttBuffer &) = delete;
    MqttBuffer &operator=(const MqttBuffer &) = delete;

    void push(MqttMessage message);
    // Messages handed to the broker whose receipt never came back go first
    // again, in their order.
    void pushFront(std::vector<MqttMessage> messages);
    std::optional<MqttMessage> pop();

    std::size_t size() const;
    std::size_t capacity() const;
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

    // Called after each push, outside the lock: the publisher wakes up.
    void onPush(std::function<void()> wake);

private:
    void keepAtMost(std::size_t count);   // under the lock: the oldest go, counted

    mutable std::mutex mutex_;
    std::deque<MqttMessage> messages_;
    std::size_t capacity_;
    std::atomic<std::uint64_t> dropped_{0};
    std::function<void()> wake_;
};

} // namespace orbalis
