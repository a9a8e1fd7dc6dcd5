#include "fault_injector.h"

namespace orbalis::sim {

FaultInjector::FaultInjector(FaultRates rates, std::uint32_t seed) : rates_(rates), random_(seed) {}

bool FaultInjector::chance(double p)
{
    if (p <= 0)
        return false;   // no draw, so a rate of 0 leaves the other faults' sequence alone
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p;
}

QByteArray FaultInjector::noise()
{
    const int length = std::uniform_int_distribution<int>(1, 16)(random_);
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
        bytes.append(char(std::uniform_int_distribution<int>(0, 255)(random_)));
    return bytes;
}

} // namespace orbalis::sim
