// What publishing adds per live reply: the bridge turns a judged reply into
// its JSON and into the buffer on the polling thread, and the publisher's
// own thread sends it (QoS 1) to a mosquitto broker on a loopback port. The
// CPU time of the whole process (every thread) per reply, against the same
// replies through the same observers with the publisher off; and the part
// of it on the polling thread, the only part that could delay a poll.

#include "core/console_core.h"
#include "mqtt/mqtt_bridge.h"
#include "mqtt/mqtt_payloads.h"
#include "state/console.h"
#include "support/core_app.h"
#include "support/fake_serial_port.h"
#include "support/mqtt_broker.h"
#include "support/replies.h"

#include <QDateTime>
#include <QThread>
#include <benchmark/benchmark.h>
#include <time.h>

#include <vector>

using namespace orbalis;
using namespace orbalis::test;

namespace {

constexpr int RepliesPerRound = 200;

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One iteration is a round of 200 good live replies over 16 controllers, a
// pause of 200 us after each, so that each finds the publisher asleep as
// a reply from the line does (the pauses cost both arms the same); with
// the publisher on, the round ends when the buffer is empty, so the
// publisher's sending is counted. range(0): 1 publisher on, 0 off.
void BM_LiveRepliesPublished(benchmark::State &state)
{
    coreApp();
    const bool publishing = state.range(0) != 0;
    MqttBroker broker;
    if (publishing && (!mosquittoInstalled() || !broker.start())) {
        state.SkipWithError("no mosquitto broker could be started");
        return;
    }
    Console console;
    for (int k = 0; k < 16; ++k) {
        console.slots.SlotId[size_t(k)] = std::uint8_t(k + 1);
        console.slots.Slot_DP_Code[size_t(k)] = 48;
        console.settings.panel.NameText[size_t(k)] = QStringLiteral("Oven%1").arg(k + 1);
    }
    FakeSerialPort port;
    ConsoleCore core(console, port);
    MqttBridge bridge(console, core);
    if (publishing) {
        MqttSettings settings;
        settings.enabled = true;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = broker.port();
        settings.prefix = QStringLiteral("bench/line");
        bridge.start(settings);
        while (!bridge.stateText().startsWith(QStringLiteral("connected")))
            QThread::msleep(5);
    }
    std::vector<QByteArray> replies;
    for (int id = 1; id <= 16; ++id)
        replies.push_back(liveReply(id, {{4096, std::uint16_t(900 + id)}, {4097, 1000}, {4098, 250}}));

    const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double pollingThread = 0;   // without the waits for the buffer to empty
    std::int64_t n = 0;
    for (auto _ : state) {
        const double thread0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (int i = 0; i < RepliesPerRound; ++i, ++n) {
            const int slot = int(n % 16);
            console.lineObservers.replyJudged(Exchange::Live, slot, std::uint8_t(slot + 1), replies[size_t(slot)],
                                              LineOutcome::Good);
            QThread::usleep(200);
        }
        pollingThread += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread0;
        while (bridge.waiting() > 0)
            QThread::usleep(200);
    }
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    state.counters["cpu_us_per_reply"] = 1e6 * cpu / double(n);
    state.counters["polling_thread_us_per_reply"] = 1e6 * pollingThread / double(n);
    state.counters["dropped"] = double(bridge.dropped());
    state.SetItemsProcessed(n);
    bridge.stop();
}
BENCHMARK(BM_LiveRepliesPublished)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
    ->UseRealTime()->MinTime(2.0);

// The live JSON alone, on the polling thread.
void BM_LiveJson(benchmark::State &state)
{
    const QByteArray reply = liveReply(7, {{4096, 989}, {4097, 1000}, {4098, 250}});
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto _ : state)
        benchmark::DoNotOptimize(liveJson(now, 6, QStringLiteral("Oven7"), 7, reply, 48));
}
BENCHMARK(BM_LiveJson);

} // namespace

BENCHMARK_MAIN();
