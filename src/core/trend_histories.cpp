#include "trend_histories.h"

#include "gap_rule.h"

#include "model/display.h"
#include "model/register_addresses.h"
#include "model/register_map.h"
#include "model/reply_registers.h"
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

void TrendHistories::requestSent(Exchange exchange, int, std::uint8_t, const QByteArray &frame)
{
    if (exchange == Exchange::ReadOne)
        readOneAddress_ = frame.size() >= 4 ? int(std::uint8_t(frame[2]) << 8 | std::uint8_t(frame[3])) : -1;
}

void TrendHistories::replyJudged(Exchange exchange, int slot, std::uint8_t id, const QByteArray &reply,
                                 LineOutcome outcome)
{
    if (outcome != LineOutcome::Good || !isSlot(slot))
        return;
    // Whatever happens here must not disturb the cycle that reports.
    try {
        if (exchange == Exchange::Live)
            add(slot, id, reply);
        else if (exchange == Exchange::ReadAll)
            takeUnit(slot, id, reply, 0);
        else if (exchange == Exchange::ReadOne && readOneAddress_ == reg::UNIT)
            takeUnit(slot, id, reply, reg::UNIT);
    } catch (...) {
    }
}

void TrendHistories::takeUnit(int slot, std::uint8_t id, const QByteArray &reply, int firstAddress)
{
    const RegisterInfo *unit = findRegister(reg::UNIT);
    if (!unit || !unit->enumeration)
        return;
    const int hi = registerPosition(reg::UNIT, firstAddress);
    const std::uint16_t code = replyRegister(reply, hi, hi + 1);
    units_[std::size_t(slot)] = {id, choiceIndex(code, unit->enumeration->firstCode, unit->enumeration->lastCode())};
}

QString TrendHistories::unitText(int slot, int controllerId) const
{
    if (!isSlot(slot))
        return {};
    const Unit &u = units_[std::size_t(slot)];
    const RegisterInfo *unit = findRegister(reg::UNIT);
    if (u.item < 0 || u.controllerId != controllerId || !unit || !unit->enumeration
        || u.item >= int(unit->enumeration->items.size()))
        return {};
    const std::string_view text = unit->enumeration->items[std::size_t(u.item)];
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void TrendHistories::add(int slot, std::uint8_t id, const QByteArray &reply)
{
    const auto k = std::size_t(slot);
    const auto sample = decodeLiveSample(reply, console_.slots.Slot_DP_Code[k], console_.clock->nowMs());
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
