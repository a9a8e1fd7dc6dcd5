#pragma once

#include "line_engine.h"

#include <atomic>
#include <chrono>

namespace orbalis {
class PseudoTerminal;
}

namespace orbalis::sim {

// Serves a line engine on the master side of a pseudo-terminal: one thread,
// one poll() loop, wall time since start as the engine's time.
class LineServer {
public:
    LineServer(PseudoTerminal &terminal, LineEngine &engine);

    // Runs until stop becomes true; returns within about 100 ms of that.
    void run(const std::atomic<bool> &stop);
    // One pass: waits at most maxWait for bytes, then serves what is due.
    void runOnce(Micros maxWait);

private:
    Micros now() const;

    PseudoTerminal &terminal_;
    LineEngine &engine_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace orbalis::sim
