// The buffer between the polling thread and the publisher: bounded, the
// oldest plain message dropped and counted first, a retained state replaced
// by its newer one, unconfirmed messages back in front in their order; and
// the growing wait between connection attempts.

#include "mqtt/mqtt_buffer.h"
#include "mqtt/mqtt_publisher.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <thread>

using namespace orbalis;

namespace {

MqttMessage plain(const char *name)
{
    return {QByteArray("t/") + name, QByteArray(name), false};
}

MqttMessage state(const char *topic, const char *payload)
{
    return {QByteArray(topic), QByteArray(payload), true};
}

// What the buffer holds, oldest first: payloads, retained ones as topic=payload.
QStringList drained(MqttBuffer &b)
{
    QStringList out;
    while (const auto m = b.pop())
        out << (m->retain ? QString::fromLatin1(m->topic + '=' + m->payload) : QString::fromLatin1(m->payload));
    return out;
}

TEST(MqttBuffer, KeepsTheNewestWithinItsCapacityAndCountsWhatItDrops)
{
    const struct {
        const char *what;
        std::size_t capacity;
        std::function<void(MqttBuffer &)> fill;
        QStringList held;
        std::uint64_t dropped;
    } cases[] = {
        {"within the capacity", 4, [](MqttBuffer &b) { for (const char *n : {"1", "2", "3"}) b.push(plain(n)); },
         {"1", "2", "3"}, 0},
        {"past it: the oldest go", 3,
         [](MqttBuffer &b) { for (const char *n : {"1", "2", "3", "4", "5"}) b.push(plain(n)); }, {"3", "4", "5"}, 2},
        {"a retained state outlives older plain messages", 3,
         [](MqttBuffer &b) {
             b.push(state("a", "offline"));
             for (const char *n : {"1", "2", "3"})
                 b.push(plain(n));
         },
         {"a=offline", "2", "3"}, 1},
        {"a newer state replaces the waiting one, not counted as lost", 3,
         [](MqttBuffer &b) {
             b.push(state("a", "online"));
             b.push(plain("1"));
             b.push(state("a", "offline"));
             b.push(state("b", "online"));
         },
         {"1", "a=offline", "b=online"}, 0},
        {"nothing but states: the oldest goes", 2,
         [](MqttBuffer &b) {
             b.push(state("a", "1"));
             b.push(state("b", "1"));
             b.push(state("c", "1"));
         },
         {"b=1", "c=1"}, 1},
        {"unconfirmed ones go first again, in their order", 5,
         [](MqttBuffer &b) {
             b.push(plain("3"));
             b.push(plain("4"));
             b.pushFront({plain("1"), plain("2")});
         },
         {"1", "2", "3", "4"}, 0},
        {"unconfirmed ones that no longer fit are the oldest", 3,
         [](MqttBuffer &b) {
             b.push(plain("3"));
             b.push(plain("4"));
             b.pushFront({plain("1"), plain("2")});
         },
         {"2", "3", "4"}, 1},
        {"an unconfirmed state a newer one replaced is not sent again", 5,
         [](MqttBuffer &b) {
             b.push(state("a", "offline"));
             b.pushFront({state("a", "online"), plain("1")});
         },
         {"1", "a=offline"}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MqttBuffer b(c.capacity);
        c.fill(b);
        EXPECT_EQ(b.dropped(), c.dropped);
        EXPECT_EQ(drained(b), c.held);
        EXPECT_EQ(b.size(), 0u);
    }
}

TEST(MqttBuffer, ThePollingThreadAddsWhileThePublisherTakesInOrder)
{
    MqttBuffer b(100000);
    int wakes = 0;
    b.onPush([&] { ++wakes; });
    constexpr int Count = 20000;
    std::thread producer([&] {
        for (int i = 0; i < Count; ++i)
            b.push({"t", QByteArray::number(i), false});
    });
    int next = 0;
    while (next < Count) {
        if (const auto m = b.pop()) {
            ASSERT_EQ(m->payload.toInt(), next);
            ++next;
        }
    }
    producer.join();
    EXPECT_EQ(wakes, Count);
    EXPECT_EQ(b.dropped(), 0u);
}

TEST(MqttPublisher, TheWaitBetweenAttemptsDoublesFromOneSecondToAMinute)
{
    const int expected[] = {1, 1, 2, 4, 8, 16, 32, 60, 60, 60};
    for (int failed = 0; failed < 10; ++failed)
        EXPECT_EQ(MqttPublisher::reconnectDelay(failed).count(), expected[failed]) << failed << " failed";
    EXPECT_EQ(MqttPublisher::reconnectDelay(1000).count(), 60);
}

} // namespace
