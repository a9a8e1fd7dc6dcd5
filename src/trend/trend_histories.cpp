#include "trend_histories.h"

#include "gap_rule.h"

#include "state/console.h"

namespace orbalis {

namespace {

std::array<SlotHistory, SlotCount> makeHistories(std::size_t capacity)
{
    return [&]<std::size_t... k>(std::index_sequence<k...>) {
        return std::array<SlotHistory, SlotCount>{((void)k, SlotHistory(capacity))...};
    }(std::make_index_sequence<SlotCount>());
}

} // namespace

TrendHistories::TrendHistories(const Console &console, std::size_t capacity)
    : console_(console), histories_(makeHistories(capacity))
{
}

void TrendHistories::replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                                 LineOutcome outcome)
{
    if (exchange != Exchange::Live || outcome != LineOutcome::Good || slot < 0 || slot >= SlotCount)
        return;
    // Whatever happens here must not disturb the cycle that reports.
    try {
        add(slot, id, reply);
    } catch (...) {
    }
}

void TrendHistories::add(int slot, std::uint8_t id, const QByteArray &reply)
{
    const auto k = std::size_t(slot);
    const auto sample = decodeLiveSample(reply, console_.slots.Slot_DP_Code[k], console_.clock->now().toMSecsSinceEpoch());
    if (!sample)
        return;
    SlotHistory &history = histories_[k];
    // A slot bound to another controller starts a new history: one line must
    // never join two controllers' values.
    if (history.controllerId() != id) {
        history.clear();
        history.setControllerId(id);
    }
    history.append(*sample, pollPeriodMs(console_));
    if (listener_)
        listener_(slot);
}

} // namespace orbalis
