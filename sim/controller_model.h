#pragma once

#include "alarm_unit.h"
#include "pid_loop.h"
#include "plant.h"
#include "program_runner.h"

#include <array>
#include <cstdint>

namespace orbalis::sim {

constexpr int HoldingCount = 109;
constexpr int InputBase = 4096;
constexpr int InputCount = 30;

using HoldingRegisters = std::array<std::uint16_t, HoldingCount>;
using InputRegisters = std::array<std::uint16_t, InputCount>;

// The baud rate a "BAUD" choice code selects (61..64), 0 for any other code.
int baudOfCode(int code);

// One simulated controller module: its 109 settings registers, the load it
// heats, its control loop, alarms and program, and the 30 live registers
// computed from them. Stepped in simulated time; no clock of its own.
class ControllerModel {
public:
    ControllerModel(int id, std::uint32_t seed, Plant::Params plant = {});

    // The address and baud rate it answers on. Writes of "ID" and "BAUD"
    // change the registers at once but these only at applyLinkSettings(),
    // which the line calls once the reply to the write is out.
    int answeringId() const { return answeringId_; }
    int answeringBaud() const { return answeringBaud_; }
    void applyLinkSettings();

    std::uint16_t holding(int address) const;   // 0..108
    const HoldingRegisters &holdingRegisters() const { return holding_; }
    // Stores a value. False when the parameter cannot take it: a choice code
    // outside its list, an ID outside 1..255, or a decimal point under which
    // a settings value would no longer fit its register.
    bool writeHolding(int address, std::uint16_t value);

    InputRegisters inputRegisters() const;

    // The error code shown in the top four bits of the status word (0 none).
    void setErrorCode(int code) { errorCode_ = code & 0xF; }
    int errorCode() const { return errorCode_; }

    // Lamp 1 or 2 dark and lit in turns of `seconds` from now on, whatever
    // its alarm settings say; 0 gives it back to them.
    void setLampBlink(int lamp, double seconds);
    bool lampLit(int lamp) const;

    void step(double dt);

    int decimals() const;
    double processValue() const { return pv_; }          // as shown, offset included
    double workingSetPoint() const { return workingSv_; }
    double outputPercent() const { return output_; }
    bool alarm1() const { return lampLit(1); }
    bool alarm2() const { return lampLit(2); }
    double ambient() const { return plant_.ambient(); }

private:
    double scaled(int address) const;     // a Scaled register in degrees
    double tenths(int address) const;     // a Tenths register
    double signedValue(int address) const;
    int code(int address) const { return holding_[std::size_t(address)]; }
    bool rescaleForDecimals(int newCode);
    ProgramRunner::Segments segments() const;
    PidLoop::Tuning tuning() const;
    void enterRunMode(int previous, int next);
    std::uint16_t statusWord() const;

    HoldingRegisters holding_{};
    int answeringId_;
    int answeringBaud_;
    int errorCode_ = 0;
    std::array<double, 2> blinkSeconds_{};   // per lamp, 0: not blinking
    double blinkClock_ = 0;                  // simulated seconds since the blinking was set

    Plant plant_;
    PidLoop pid_;
    AlarmUnit alarm1_, alarm2_;
    ProgramRunner program_;

    int runCode_;              // RUN as last acted on
    double pv_;                // filtered measurement plus offset
    double filteredPv_;
    double rampedSv_;          // SV after the ramp-rate limit
    double workingSv_;
    double output_ = 0;        // %
};

} // namespace orbalis::sim
