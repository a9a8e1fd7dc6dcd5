#pragma once

namespace orbalis {

// How polling paces its requests: the fixed reply waits (the default), or at
// the speed of the line, each request as soon as the last reply has ended.
// Kept in Orbalis.ini as [line] line_rate and guard_ms.
struct LineRateChoice {
    static constexpr int DefaultGuardMs = 2;

    bool on = false;
    // Added to the 3.5 characters' silence after a reply before the next
    // request, for adapters and controllers that turn the line round slowly.
    int guardMs = DefaultGuardMs;
};

} // namespace orbalis
