#pragma once

#include <QString>
#include <cstdint>

namespace orbalis {

// The status word of a live-value reply (register 4099): an error code in the
// top four bits, the work mode in bits 8 to 11 and the two alarm lamps in the
// low four bits. These read it the way the slot paints it.

// Lamps lit by the low four bits: bit 0 alarm 1, bit 1 alarm 2. Only 1, 2
// and 3 light anything; 4 to 15 leave both lamps dark.
std::uint8_t litAlarmLamps(std::uint16_t status);
constexpr std::uint8_t Alarm1Lamp = 0x01;
constexpr std::uint8_t Alarm2Lamp = 0x02;

// The error code of the top four bits when the banner shows it: 1 "Input
// Open" to 6 "Low Error"; 0 otherwise (no error, or 7 to 15, which show the
// blank banner).
int shownErrorCode(std::uint16_t status);
constexpr int HighestShownErrorCode = 6;

// The banner's legend of a shown error code ("Input Open", "A/D Error",
// "EEPRom Error", "AutoTune Error", "High Error", "Low Error"); empty for
// any other code.
QString errorLegend(int code);

} // namespace orbalis
