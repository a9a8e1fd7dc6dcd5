#include "status_word.h"

#include <iterator>

namespace orbalis {

std::uint8_t litAlarmLamps(std::uint16_t status)
{
    const int lamps = status & 0x000F;
    return lamps <= 3 ? std::uint8_t(lamps) : 0;
}

int shownErrorCode(std::uint16_t status)
{
    const int code = (status >> 12) & 0xF;
    return code <= HighestShownErrorCode ? code : 0;
}

QString errorLegend(int code)
{
    static const char *const Legends[] = {"Input Open",     "A/D Error",  "EEPRom Error",
                                          "AutoTune Error", "High Error", "Low Error"};
    if (code < 1 || code > int(std::size(Legends)))
        return {};
    return QString::fromLatin1(Legends[code - 1]);
}

} // namespace orbalis
