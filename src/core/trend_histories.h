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

    void requestSent(Exchange exchange, int slot, std::uint8_t id, const QByteArray &frame) override;
    void replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                     LineOutcome outcome) override;

    const SlotHistory &history(int slot) const { return histories_.at(std::size_t(slot)); }

    // The process unit of the slot's controller ("oC", "oF", "Eng") as the
    // last read of its parameters gave it; empty before any such read (live
    // replies do not carry it) or when the slot now shows another controller.
    QString unitText(int slot, int controllerId) const;

    // Called after a sample was added to a slot's history.
    void onAppended(std::function<void(int slot)> listener) { listener_ = std::move(listener); }

private:
    void add(int slot, std::uint8_t id, const QByteArray &reply);

    void takeUnit(int slot, std::uint8_t id, const QByteArray &reply, int firstAddress);

    struct Unit {
        int controllerId = 0;
        int item = -1;   // index in the unit's list; -1 unknown
    };

    const Console &console_;
    std::array<SlotHistory, SlotCount> histories_;
    std::array<Unit, SlotCount> units_{};
    int readOneAddress_ = -1;   // the parameter of the last read of one
    std::function<void(int)> listener_;
};

} // namespace orbalis
