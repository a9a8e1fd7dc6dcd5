#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace orbalis {

constexpr int SlotCount = 16;

// Whether the number is a slot of the panel (0 to 15).
constexpr bool isSlot(int slot)
{
    return slot >= 0 && slot < SlotCount;
}
using SlotTexts = std::array<QString, SlotCount>;

// Record 1 of "User Setting.ini". Note the record order: stop bits before data bits.
struct SerialSettings {
    QString Port;      // "COM1".."COM32" or "CLOSE"
    QString Baud;      // "19200"
    QString StopBits;  // "2"
    QString DataBits;  // "8"
    QString Parity;    // "None", "Even", "Odd", "Mark", "Space"
};

// Records 2 to 7, entry k belonging to slot k.
struct PanelTable {
    SlotTexts IdText;       // record 2: "---" or "001".."255"
    SlotTexts NameText;     // record 3
    SlotTexts Reserved4;    // record 4
    SlotTexts Reserved5;    // record 5
    SlotTexts Reserved6;    // record 6
    SlotTexts DecimalText;  // record 7: decimal-point code, "47".."50"
};

// Everything the console remembers between runs, as texts.
struct SettingsModel {
    SerialSettings serial;
    PanelTable panel;
};

// Per-slot values derived from the texts, held in memory only.
struct SlotTables {
    std::array<std::uint8_t, SlotCount> SlotId{};        // 0 = no controller
    std::array<std::int32_t, SlotCount> Slot_DP_Code{};  // 47..50 for 0..3 decimals
    std::array<bool, SlotCount> Record_Flag{};
    std::array<bool, SlotCount> Mark_Flag{};
};

} // namespace orbalis
