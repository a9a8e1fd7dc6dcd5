#pragma once

#include <cstdint>

namespace orbalis {

// The polling cycle's state. The parameter window and the write cycle ask
// for a parameter read by setting ReadOne or ReadAll; the serial settings
// window and the scan restart polling with Select.
enum class ReadState : std::uint8_t {
    Select = 0,       // pick the next bound slot and send its live-value read
    ReadOne = 1,      // send the read of the single parameter Para_Index
    ReadAll = 2,      // send the read of all 109 parameters
    AwaitLive = 3,    // live-value read sent, reply awaited
    AwaitOne = 4,     // single-parameter read sent, reply awaited
    AwaitAll = 5,     // all-parameters read sent, reply awaited
};

} // namespace orbalis
