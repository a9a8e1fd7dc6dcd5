// What watching the line costs per frame: the cycles report a request or a
// judged reply, the counters count it and the traffic ring keeps it. Also
// the memory a full ring of the console's size holds, after polling and after
// a flood of garbage.

#include "core/line_counters.h"
#include "core/traffic_ring.h"

#include "state/line_observer.h"
#include "support/fake_serial_port.h"
#include "support/replies.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <vector>

using namespace orbalis;
using namespace orbalis::test;

namespace {

// Stamps the port as having just timed a reply, as QtSerialPort has when a
// reply is judged.
void timeAReply(FakeSerialPort &port)
{
    const auto now = std::chrono::steady_clock::now();
    port.times.requestEnd = now - std::chrono::milliseconds(50);
    port.times.lastByte = now - std::chrono::milliseconds(4);
}

// One iteration is one frame, requests and replies taking turns over 16
// controllers, through the console's list of observers. range(0): 1 gives
// every reply bytes of its own (as the port's Input does, so the ring lets
// the oldest go as it takes the newest), 0 shares one reply.
void BM_FrameToCountersAndRing(benchmark::State &state)
{
    const bool fresh = state.range(0) != 0;
    FakeSerialPort port;
    timeAReply(port);
    LineCounters counters(&port);
    TrafficRing ring(&port);
    LineObservers observers;
    observers.add(&counters);
    observers.add(&ring);
    std::vector<QByteArray> requests, replies;
    for (int id = 1; id <= 16; ++id) {
        requests.push_back(liveRequest(id));
        replies.push_back(liveReply(id));
    }
    // Full, as after the first eight minutes of polling.
    for (std::size_t i = 0; i < TrafficRing::DefaultCapacity; ++i)
        ring.requestSent(Exchange::Live, 0, 1, QByteArray(requests[0].constData(), requests[0].size()));

    std::uint64_t n = 0;
    for (auto _ : state) {
        const auto slot = int((n / 2) % 16);
        const auto id = std::uint8_t(slot + 1);
        if (n % 2 == 0) {
            observers.requestSent(Exchange::Live, slot, id, requests[std::size_t(slot)]);
        } else {
            const QByteArray &shared = replies[std::size_t(slot)];
            observers.replyJudged(Exchange::Live, slot, id,
                                  fresh ? QByteArray(shared.constData(), shared.size()) : shared, LineOutcome::Good);
        }
        ++n;
    }
    benchmark::DoNotOptimize(counters.of(1).good);
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_FrameToCountersAndRing)->Arg(0)->Arg(1)->Repetitions(15)->ReportAggregatesOnly(true);

// The heap a full ring of live-value traffic holds (requests and replies
// with bytes of their own), in bytes per frame and in all.
void BM_FullRingMemory(benchmark::State &state)
{
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto ring = std::make_unique<TrafficRing>(nullptr);
        const QByteArray request = liveRequest(1), reply = liveReply(1);
        for (std::size_t i = 0; i < TrafficRing::DefaultCapacity / 2; ++i) {
            ring->requestSent(Exchange::Live, 0, 1, QByteArray(request.constData(), request.size()));
            ring->replyJudged(Exchange::Live, 0, 1, QByteArray(reply.constData(), reply.size()), LineOutcome::Good);
        }
        const std::size_t held = mallinfo2().uordblks - before;
        state.counters["ring_bytes"] = double(held);
        state.counters["bytes_per_frame"] = double(held) / double(ring->size());
        benchmark::DoNotOptimize(ring.get());
    }
}
BENCHMARK(BM_FullRingMemory)->Iterations(1);

// The heap a ring holds after a flood of garbage: replies of 4 KB, more of
// them than the ring holds frames. Its bytes are bounded, not its frames.
void BM_FloodedRingMemory(benchmark::State &state)
{
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto ring = std::make_unique<TrafficRing>(nullptr);
        const QByteArray garbage(4096, '\x55');
        for (std::size_t i = 0; i < TrafficRing::DefaultCapacity * 2; ++i)
            ring->replyJudged(Exchange::Live, 0, 1, QByteArray(garbage.constData(), garbage.size()),
                              LineOutcome::CrcError);
        const std::size_t held = mallinfo2().uordblks - before;
        state.counters["ring_bytes"] = double(held);
        state.counters["frames"] = double(ring->size());
        benchmark::DoNotOptimize(ring.get());
    }
}
BENCHMARK(BM_FloodedRingMemory)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
