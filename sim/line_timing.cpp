#include "line_timing.h"

#include <algorithm>

namespace orbalis::sim {

namespace {
constexpr int BitsPerByte = 11;
constexpr int SlowestBaud = 2400;   // unknown rates are timed as the slowest the modules know
int usableBaud(int baud) { return baud > 0 ? baud : SlowestBaud; }
} // namespace

Micros byteTime(int baud)
{
    return Micros(BitsPerByte * 1'000'000LL / usableBaud(baud));
}

Micros frameSilence(int baud)
{
    return std::max(Micros(BitsPerByte * 3'500'000LL / usableBaud(baud)), Micros(2000));
}

Micros longestReplyWait(int baud)
{
    // 400 ms at 19200 baud, doubling with every halving of the rate.
    return Micros(400'000LL * 19200 / usableBaud(baud));
}

} // namespace orbalis::sim
