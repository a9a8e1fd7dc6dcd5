#include "live_value_table.h"

#include "display.h"

#include <vector>

namespace orbalis {

namespace {

bool isLive(int address)
{
    return address >= InputRegisterBase && address < InputRegisterBase + InputRegisterCount;
}

} // namespace

LiveValueTable::LiveValueTable()
{
    for (const RegisterInfo &r : inputRegisters())
        texts_[size_t(r.address - InputRegisterBase)] =
            QString::fromLatin1(r.initialText.data(), qsizetype(r.initialText.size()));
}

void LiveValueTable::setText(int address, const QString &text)
{
    if (kept_)
        decodeKept();   // the other texts stay those of the kept reply
    if (isLive(address))
        texts_[size_t(address - InputRegisterBase)] = text;
}

QString LiveValueTable::text(int address) const
{
    if (kept_)
        decodeKept();
    return isLive(address) ? texts_[size_t(address - InputRegisterBase)] : QString();
}

void LiveValueTable::keepReply(const QByteArray &reply, std::int32_t dpCode)
{
    kept_ = Kept{reply, dpCode};
}

void LiveValueTable::decodeKept() const
{
    const Kept kept = std::move(*kept_);
    kept_.reset();
    DisplayTargets targets;
    // Only the texts change: the table is const to its readers, not in itself.
    targets.liveValues = const_cast<LiveValueTable *>(this);
    try {
        showLiveValues(kept.reply, kept.dpCode, targets);
    } catch (...) {
        // As when decoded at once: what was decoded before the fault stays.
    }
}

std::span<const int> liveValueAddresses()
{
    static const std::vector<int> addresses = [] {
        std::vector<int> a;
        for (const RegisterInfo &r : inputRegisters())
            if (r.control != ControlKind::None)
                a.push_back(r.address);
        return a;
    }();
    return addresses;
}

} // namespace orbalis
