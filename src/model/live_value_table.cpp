#include "live_value_table.h"

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
    if (isLive(address))
        texts_[size_t(address - InputRegisterBase)] = text;
}

QString LiveValueTable::text(int address) const
{
    return isLive(address) ? texts_[size_t(address - InputRegisterBase)] : QString();
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
