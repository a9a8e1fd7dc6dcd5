#include "last_read_texts.h"

#include "model/register_map.h"

namespace orbalis {

void LastReadTexts::readAll(int controllerId, const QStringList &texts)
{
    QStringList &kept = texts_[controllerId];
    kept = texts;
    while (kept.size() < HoldingRegisterCount)
        kept.append(QString());
}

void LastReadTexts::readOne(int controllerId, int address, const QString &text)
{
    if (address < 0 || address >= HoldingRegisterCount)
        return;
    QStringList &kept = texts_[controllerId];
    while (kept.size() < HoldingRegisterCount)
        kept.append(QString());
    kept[address] = text;
}

QString LastReadTexts::text(int controllerId, int address) const
{
    const auto found = texts_.find(controllerId);
    return found == texts_.end() ? QString() : found->second.value(address);
}

} // namespace orbalis
