#pragma once

#include <array>

namespace orbalis::sim {

// The eight-segment set-point program: each segment ramps to its set point
// in its ramp time, soaks there for its soak time, then takes its end action.
class ProgramRunner {
public:
    struct Segment {
        double rampTime = 0;    // time units
        double setPoint = 0;    // degrees
        double soakTime = 0;    // time units
        int endAction = 80;     // 72 "To RT8" .. 79 "To RT1", 80 "End", 81 "Hold", 82 "Next"
        int jumps = 0;          // how often a "To RTn" is taken; 0 or less: every time
    };
    using Segments = std::array<Segment, 8>;

    enum class Phase { Ramp, Soak, Finished };

    // Starts at segment 1, ramping from startValue.
    void start(double startValue);
    // Advances dt seconds; unitSeconds is the length of one time unit.
    void step(double dt, const Segments &segments, double unitSeconds);

    double setPoint(const Segments &segments) const;
    // Time left in the current ramp or soak, in time units.
    double remaining(const Segments &segments) const;
    int segment() const { return segment_; }
    Phase phase() const { return phase_; }
    bool started() const { return started_; }

private:
    void endSegment(const Segments &segments);

    bool started_ = false;
    int segment_ = 0;
    Phase phase_ = Phase::Finished;
    double elapsed_ = 0;        // time units into the current phase
    double rampFrom_ = 0;
    double finalSetPoint_ = 0;
    std::array<int, 8> jumpsTaken_{};
};

} // namespace orbalis::sim
