// Decoding cost of the two passes that run on the user-interface thread at
// every reply: the live pass (each polling tick) and the read-all pass.
#include "model/display.h"
#include "model/register_addresses.h"
#include "model/register_map.h"

#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

using namespace orbalis;

namespace {

// Keeps every text and selection, as the windows' controls do.
class StoringSink : public ParameterSink {
public:
    void setText(int address, const QString &text) override { texts[slot(address)] = text; }
    void selectItem(int address, int index) override { selections[slot(address)] = index; }

private:
    static size_t slot(int address)
    {
        return address >= InputRegisterBase
                   ? size_t(HoldingRegisterCount + address - InputRegisterBase)
                   : size_t(address);
    }
    std::array<QString, HoldingRegisterCount + InputRegisterCount> texts;
    std::array<int, HoldingRegisterCount + InputRegisterCount> selections{};
};

QByteArray reply(int registers, std::uint8_t function)
{
    std::mt19937 rng(7);
    QByteArray r;
    r.append(char(1));
    r.append(char(function));
    r.append(char(registers * 2));
    for (int i = 0; i < registers * 2; ++i)
        r.append(char(rng() & 0xFF));
    r[3 + 2 * reg::DP] = 0;
    r[4 + 2 * reg::DP] = 49;
    r.append(2, '\0');
    return r;
}

void BM_LivePass(benchmark::State &state)
{
    const QByteArray live = reply(InputRegisterCount, 4);
    StoringSink window, boxes;
    const DisplayTargets t{&window, &boxes, 3, 3};   // both windows: the costlier case
    for (auto _ : state)
        showLiveValues(live, 49, t);
}
BENCHMARK(BM_LivePass)->Unit(benchmark::kMicrosecond);

void BM_ReadAllPass(benchmark::State &state)
{
    const QByteArray all = reply(HoldingRegisterCount, 3);
    StoringSink window, boxes;
    const DisplayTargets t{&window, &boxes, 3, 3};
    std::int32_t dp = 48;
    for (auto _ : state) {
        Show_All_Parameters(all, dp, t);
        benchmark::DoNotOptimize(dp);
    }
}
BENCHMARK(BM_ReadAllPass)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
