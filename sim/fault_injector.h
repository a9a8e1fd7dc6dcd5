#pragma once

#include <QByteArray>
#include <cstdint>
#include <random>

namespace orbalis::sim {

// Probabilities, 0..1, of the faults a line can show per answered request.
struct FaultRates {
    double drop = 0;      // no reply at all
    double badCrc = 0;    // a reply whose CRC is broken
    double late = 0;      // a reply after the console stopped waiting
    double garbage = 0;   // noise on the line ahead of the reply
};

// Draws the faults from a seeded generator, so that a run can be repeated.
class FaultInjector {
public:
    FaultInjector(FaultRates rates, std::uint32_t seed);

    bool drop() { return chance(rates_.drop); }
    bool badCrc() { return chance(rates_.badCrc); }
    bool late() { return chance(rates_.late); }
    bool garbage() { return chance(rates_.garbage); }
    // 1 to 16 random bytes.
    QByteArray noise();

private:
    bool chance(double p);

    FaultRates rates_;
    std::mt19937 random_;
};

} // namespace orbalis::sim
