#pragma once

#include "slot_history.h"

#include "settings/settings_model.h"
#include "state/line_observer.h"

#include <array>
#include <functional>

namespace orbalis {

struct Console;

// The live history of every slot, fed by the polling cycle's report of each
// judged reply: a good live-value reply adds its PV, SV, output and alarm
// lamps, stamped with the console's clock. It runs from the console's start,
// whether or not a trend window is open, and never touches the line.
class TrendHistories : public LineObserver {
public:
    explicit TrendHistories(const Console &console, std::size_t capacity = SlotHistory::DefaultCapacity);

    void requestSent(Exchange, int, std::uint8_t, const QByteArray &) override {}
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    const SlotHistory &history(int slot) const { return histories_.at(std::size_t(slot)); }

    // Called after a sample was added to a slot's history.
    void onAppended(std::function<void(int slot)> listener) { listener_ = std::move(listener); }

private:
    void add(int slot, std::uint8_t id, const QByteArray &reply);

    const Console &console_;
    std::array<SlotHistory, SlotCount> histories_;
    std::function<void(int)> listener_;
};

} // namespace orbalis
