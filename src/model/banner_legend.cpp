#include "banner_legend.h"

#include "status_word.h"

#include <iterator>

namespace orbalis {

QString workModeLegend(int mode)
{
    static const char *const Legends[] = {"Off", "At1 SV", "At2 90% SV", "Hand", "None", "Prog", "Hold"};
    if (mode < 0 || mode >= int(std::size(Legends)))
        return {};
    return QString::fromLatin1(Legends[mode]);
}

QString bannerLegend(std::uint16_t status)
{
    if (const int error = shownErrorCode(status))
        return errorLegend(error);
    // An error code the banner has no legend for hides the work mode too.
    if ((status >> 12) != 0)
        return {};
    return workModeLegend((status >> 8) & 0xF);
}

} // namespace orbalis
