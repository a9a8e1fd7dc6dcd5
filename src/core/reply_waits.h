#pragma once

#include <QString>
#include <optional>

namespace orbalis {

class CycleTimer;

// How long a controller is given to answer, by baud rate: the interval of a
// cycle's timer after it sent a request, so that the next tick judges the
// reply. Given for the baud texts "2400", "4800", "9600" and "19200"; any
// other baud text leaves a timer's interval as it was.
struct BaudWaits {
    int ms2400, ms4800, ms9600, ms19200;
};

constexpr BaudWaits LiveValuesWait{800, 400, 200, 100};      // polling: the 30 live values (also the idle tick)
constexpr BaudWaits OneParameterWait{400, 200, 100, 50};     // polling: one parameter read back
constexpr BaudWaits AllParametersWait{3200, 1600, 800, 400}; // polling: all 109 parameters
constexpr BaudWaits WriteWait{800, 400, 200, 100};           // the write cycle: one write and its echo
constexpr BaudWaits ScanStepWait{400, 200, 100, 50};         // the scan: one ID's process value

// The interval both cycle timers start with, and keep while the baud rate
// is none of the four.
constexpr int StartWaitMs = 100;

// The wait for a baud text; none for texts other than the four.
std::optional<int> waitFor(const BaudWaits &waits, const QString &baud);

// Sets the timer's interval to the wait for the baud text; other texts leave it.
void setWait(CycleTimer &timer, const BaudWaits &waits, const QString &baud);

} // namespace orbalis
