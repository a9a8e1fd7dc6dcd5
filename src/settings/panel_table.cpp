#include "settings_store.h"

#include "base/leading_number.h"

namespace orbalis {

namespace {

constexpr std::int32_t DefaultDpCode = 48;

} // namespace

std::uint8_t slotIdFromText(const QString &idText)
{
    if (idText.trimmed() == QLatin1String("---"))
        return 0;
    const std::optional<std::int32_t> id = roundHalfEven(leadingNumber(idText));
    if (!id || *id < 0 || *id > 255)
        throw Error(Overflow, QStringLiteral("controller ID \"%1\" is not 0 to 255").arg(idText));
    return std::uint8_t(*id);
}

void Load_Panel_Table(const SettingsModel &model, SlotTables &tables, ErrorTrap &trap)
{
    const PanelTable &panel = model.panel;
    for (int k = 0; k < SlotCount; ++k) {
        // Each slot on its own: one bad entry must not leave the others unbound.
        tables.SlotId[k] = 0;
        trap.step([&] { tables.SlotId[k] = slotIdFromText(panel.IdText[k]); });

        const std::optional<std::int32_t> dp = roundHalfEven(leadingNumber(panel.DecimalText[k]));
        tables.Slot_DP_Code[k] = dp.value_or(DefaultDpCode);
        if (!dp)
            trap.report(Error(Overflow, QStringLiteral("decimal-point code \"%1\" of slot %2")
                                            .arg(panel.DecimalText[k])
                                            .arg(k)));
    }
    tables.Record_Flag.fill(false);
    tables.Mark_Flag.fill(false);
}

} // namespace orbalis
