#pragma once

#include "controller_bank.h"
#include "fault_injector.h"
#include "frame_assembler.h"
#include "line_timing.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace orbalis::sim {

class TrafficLog;

struct LineConfig {
    Micros turnaround{5000};   // from the end of a request to the start of the reply
    FaultRates faults;
    std::uint32_t seed = 1;
    // Every reply reaches the console this much later, as a USB adapter's
    // latency timer holds the bytes it received (up to 16 ms by default).
    Micros replyDelay{0};
};

// The line as the controllers see it, in simulated time: frames requests,
// lets the addressed controller answer after the times a real line takes,
// applies faults, and steps the controllers' loads every 100 ms. The caller
// supplies the time and carries the bytes.
class LineEngine {
public:
    static constexpr Micros PlantStep{100'000};

    LineEngine(ControllerBank &bank, LineConfig config, TrafficLog *log = nullptr);

    // Bytes from the console that arrived at now, with the line at lineBaud.
    void receive(const QByteArray &bytes, Micros now, int lineBaud);
    // Ends a frame after silence and steps the loads up to now.
    void advance(Micros now, int lineBaud);
    // What is due on the line by now, in order. Link settings written by a
    // request take effect here, once its reply time has come.
    QByteArray takeDue(Micros now);
    // The next moment something is due (a reply, the end of a frame, a load step).
    Micros nextDeadline(int lineBaud) const;

private:
    struct Pending {
        Micros due;
        QByteArray bytes;                 // empty when the reply is dropped
        ControllerModel *controller;
    };
    void handle(const FrameAssembler::Frame &frame, int lineBaud);

    ControllerBank &bank_;
    LineConfig config_;
    TrafficLog *log_;
    FaultInjector faults_;
    FrameAssembler assembler_;
    std::vector<Pending> pending_;   // ordered by due time
    Micros plantTime_{0};
};

} // namespace orbalis::sim
