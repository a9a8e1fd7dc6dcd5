#pragma once

#include <QString>
#include <cstdint>

namespace orbalis {

// The legend of a work mode (bits 8 to 11 of the status word): 0 "Off",
// 1 "At1 SV", 2 "At2 90% SV", 3 "Hand", 4 "None", 5 "Prog", 6 "Hold"; empty
// for 7 to 15, which show the blank banner.
QString workModeLegend(int mode);

// The legend the state banner of a slot shows for a status word: the error's
// legend while an error code 1 to 6 hides the work mode, else the work mode's;
// empty for the blank banner (error codes 7 to 15, work modes 7 to 15).
QString bannerLegend(std::uint16_t status);

} // namespace orbalis
