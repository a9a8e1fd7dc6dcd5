#include "controller_model.h"

#include "controller_defaults.h"
#include "controller_registers.h"

#include "base/leading_number.h"
#include "model/register_map.h"

#include <algorithm>
#include <cmath>

namespace orbalis::sim {

namespace {

constexpr double Powers[] = {1.0, 10.0, 100.0, 1000.0};

// A register's 16 bits for a signed quantity, saturated at the register's range.
std::uint16_t toRegister(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::clamp(std::nearbyint(value), -32768.0, 32767.0);
    return std::uint16_t(std::int16_t(r));
}

std::array<std::uint16_t, 2> toTime32(double tenths)
{
    const double t = std::clamp(std::nearbyint(tenths), 0.0, 4294967295.0);
    const auto v = std::uint32_t(t);
    return {std::uint16_t(v & 0xFFFF), std::uint16_t(v >> 16)};   // low half first
}

bool isChoiceCode(int address, int value)
{
    const RegisterInfo *info = findRegister(address);
    if (!info || info->kind != ValueKind::Choice || !info->enumeration)
        return true;
    return value >= info->enumeration->firstCode && value <= info->enumeration->lastCode();
}

int workMode(int runCode)
{
    return runCode >= reg::RUN_OFF && runCode <= reg::RUN_HOLD ? runCode - reg::RUN_OFF : 0;
}

} // namespace

int baudOfCode(int code)
{
    return code >= reg::BAUD_2400 && code <= reg::BAUD_19200 ? 2400 << (code - reg::BAUD_2400) : 0;
}

ControllerModel::ControllerModel(int id, std::uint32_t seed, Plant::Params plant)
    : holding_(defaultHoldingRegisters(id)), answeringId_(id),
      answeringBaud_(baudOfCode(holding_[reg::BAUD])), plant_(plant, seed),
      runCode_(holding_[reg::RUN]), pv_(plant_.measured()), filteredPv_(plant_.measured()),
      rampedSv_(scaled(reg::SV)), workingSv_(rampedSv_)
{
    pid_.reset(pv_);
}

void ControllerModel::applyLinkSettings()
{
    answeringId_ = std::int16_t(holding_[reg::ID]);
    answeringBaud_ = baudOfCode(holding_[reg::BAUD]);
}

std::uint16_t ControllerModel::holding(int address) const
{
    return address >= 0 && address < HoldingCount ? holding_[std::size_t(address)] : 0;
}

int ControllerModel::decimals() const
{
    const int dp = holding_[reg::DP];
    return dp >= reg::DP_NONE && dp <= reg::DP_THREE ? dp - reg::DP_NONE : 0;
}

double ControllerModel::scaled(int address) const
{
    return signedValue(address) / Powers[decimals()];
}

double ControllerModel::tenths(int address) const
{
    return signedValue(address) / 10.0;
}

double ControllerModel::signedValue(int address) const
{
    return std::int16_t(holding_[std::size_t(address)]);
}

bool ControllerModel::rescaleForDecimals(int newCode)
{
    const int shift = (newCode - reg::DP_NONE) - decimals();
    HoldingRegisters next = holding_;
    for (int a = 0; a < HoldingCount; ++a) {
        const RegisterInfo *info = findRegister(a);
        if (!info || info->kind != ValueKind::Scaled)
            continue;
        const double value = signedValue(a) * std::pow(10.0, shift);
        const auto rounded = roundHalfEven(value);
        // A value the new decimal point cannot show is refused rather than cut.
        if (!rounded || *rounded < -32768 || *rounded > 32767)
            return false;
        next[std::size_t(a)] = std::uint16_t(std::int16_t(*rounded));
    }
    holding_ = next;
    return true;
}

bool ControllerModel::writeHolding(int address, std::uint16_t value)
{
    if (address < 0 || address >= HoldingCount)
        return false;
    if (!isChoiceCode(address, value))
        return false;
    if (address == reg::ID) {
        const int id = std::int16_t(value);
        if (id < 1 || id > 255)
            return false;   // 0 is the broadcast address: the module would be unreachable
    }
    if (address == reg::DP && value != holding_[reg::DP] && !rescaleForDecimals(value))
        return false;
    holding_[std::size_t(address)] = value;
    return true;
}

ProgramRunner::Segments ControllerModel::segments() const
{
    ProgramRunner::Segments s;
    for (int n = 0; n < 8; ++n) {
        const int base = reg::SEGMENT1 + reg::SEGMENT_STRIDE * n;
        s[std::size_t(n)] = {double(holding_[std::size_t(base)]), scaled(base + 1),
                             double(holding_[std::size_t(base + 2)]), code(base + 3),
                             int(std::int16_t(holding_[std::size_t(base + 4)]))};
    }
    return s;
}

PidLoop::Tuning ControllerModel::tuning() const
{
    PidLoop::Tuning t;
    t.band = tenths(reg::PB1);
    t.integral = tenths(reg::TI1);
    t.derivative = tenths(reg::TD1);
    t.manualReset = tenths(reg::MR1);
    t.antiReset = tenths(reg::AR1);
    t.reverse = code(reg::ACT) == reg::ACT_REV;
    t.onOffHysteresis = scaled(reg::HYSM);
    t.outputLow = std::clamp(tenths(reg::OUCL), 0.0, 100.0);
    t.outputHigh = std::clamp(tenths(reg::OUCH), 0.0, 100.0);
    return t;
}

void ControllerModel::enterRunMode(int previous, int next)
{
    const bool programWasOn = previous == reg::RUN_PROG || previous == reg::RUN_HOLD;
    if ((next == reg::RUN_PROG || next == reg::RUN_HOLD) && (!programWasOn || !program_.started()))
        program_.start(code(reg::START_AT) == reg::START_AT_ZERO ? 0.0 : pv_);
    if (previous == reg::RUN_OFF || previous == reg::RUN_HAND)
        pid_.track(output_, pv_);   // bumpless: the loop takes over the output it finds
}

void ControllerModel::step(double dt)
{
    if (!(dt > 0.0))
        return;
    blinkClock_ += dt;
    const int run = code(reg::RUN);
    if (run != runCode_) {
        enterRunMode(runCode_, run);
        runCode_ = run;
    }

    // The set point the loop works to.
    const double target = scaled(reg::SV);
    const double rate = scaled(reg::RAMP);   // degrees per minute, 0: no ramp
    if (run == reg::RUN_OFF) {
        rampedSv_ = rate > 0 ? pv_ : target;   // a later start ramps from where the load is
    } else if (rate > 0) {
        const double stepSize = rate * dt / 60.0;
        rampedSv_ += std::clamp(target - rampedSv_, -stepSize, stepSize);
    } else {
        rampedSv_ = target;
    }
    const double timeUnit = code(reg::PTME) == reg::PTME_HH_MM ? 60.0 : 1.0;
    double sv = rampedSv_;
    if (run == reg::RUN_PROG) {
        program_.step(dt, segments(), timeUnit);
        sv = program_.setPoint(segments());
    } else if (run == reg::RUN_HOLD) {
        sv = program_.setPoint(segments());
    }
    workingSv_ = sv + scaled(reg::SVOF);

    // The output.
    const PidLoop::Tuning t = tuning();
    if (errorCode_ != 0 || run == reg::RUN_OFF || run < reg::RUN_OFF || run > reg::RUN_HOLD) {
        output_ = 0.0;   // a module in error or switched off does not heat
        pid_.reset(pv_);
    } else if (run == reg::RUN_HAND) {
        output_ = std::clamp(tenths(reg::OUTL), std::min(t.outputLow, t.outputHigh),
                             std::max(t.outputLow, t.outputHigh));
    } else if (run == reg::RUN_AT1 || run == reg::RUN_AT2) {
        // Auto-tuning drives the load in on/off cycles around SV (AT2: 90 % of it).
        PidLoop::Tuning relay = t;
        relay.band = 0;
        output_ = pid_.step(run == reg::RUN_AT2 ? 0.9 * workingSv_ : workingSv_, pv_, relay, dt);
    } else {
        output_ = pid_.step(workingSv_, pv_, t, dt);
    }

    // The load and its measurement.
    plant_.step(dt, output_);
    const double filter = tenths(reg::FILT);
    if (filter > 0)
        filteredPv_ += (plant_.measured() - filteredPv_) * (dt / (filter + dt));
    else
        filteredPv_ = plant_.measured();
    pv_ = filteredPv_ + scaled(reg::PVOF);

    alarm1_.step(pv_, workingSv_,
                 {code(reg::A1FU), code(reg::A1MD), scaled(reg::A1SP), scaled(reg::A1HY),
                  double(holding_[reg::A1DT])},
                 dt);
    alarm2_.step(pv_, workingSv_,
                 {code(reg::A2FU), code(reg::A2MD), scaled(reg::A2SP), scaled(reg::A2HY),
                  double(holding_[reg::A2DT])},
                 dt);
}

void ControllerModel::setLampBlink(int lamp, double seconds)
{
    if (lamp < 1 || lamp > 2)
        return;
    blinkSeconds_[std::size_t(lamp - 1)] = std::max(seconds, 0.0);
    blinkClock_ = 0;
}

bool ControllerModel::lampLit(int lamp) const
{
    const double period = blinkSeconds_[std::size_t(lamp - 1)];
    if (period > 0)
        // Dark for the first period, lit for the second, and so on. A little
        // slack, so that whole periods made of 100 ms steps count as whole.
        return std::int64_t(std::floor(blinkClock_ / period + 1e-9)) % 2 == 1;
    return lamp == 1 ? alarm1_.lit() : alarm2_.lit();
}

std::uint16_t ControllerModel::statusWord() const
{
    return std::uint16_t((errorCode_ & 0xF) << 12 | workMode(runCode_) << 8 | (lampLit(2) ? 2 : 0)
                         | (lampLit(1) ? 1 : 0));
}

InputRegisters ControllerModel::inputRegisters() const
{
    InputRegisters r{};
    auto at = [&r](int address) -> std::uint16_t & { return r[std::size_t(address - InputBase)]; };
    const double scale = Powers[decimals()];

    at(reg::PV_IN) = toRegister(pv_ * scale);
    at(reg::SV_IN) = toRegister(workingSv_ * scale);
    at(reg::OUT_IN) = toRegister(std::clamp(output_, 0.0, 100.0) * 10.0);
    at(reg::STATUS_IN) = statusWord();

    const double timeUnit = code(reg::PTME) == reg::PTME_HH_MM ? 60.0 : 1.0;
    double rampTenths = 0;
    if (runCode_ == reg::RUN_PROG || runCode_ == reg::RUN_HOLD)
        rampTenths = program_.remaining(segments()) * 10.0;
    else if (std::abs(rampedSv_ - scaled(reg::SV)) > 1e-9 && scaled(reg::RAMP) > 0)
        rampTenths = std::abs(scaled(reg::SV) - rampedSv_) / scaled(reg::RAMP) * 60.0 / timeUnit * 10.0;
    const auto ramp = toTime32(rampTenths);
    const auto alarm1 = toTime32(alarm1_.litSeconds() * 10.0);
    const auto alarm2 = toTime32(alarm2_.litSeconds() * 10.0);
    at(reg::RAMP_T) = ramp[0];
    at(reg::RAMP_T + 1) = ramp[1];
    at(reg::ALM1_T) = alarm1[0];
    at(reg::ALM1_T + 1) = alarm1[1];
    at(reg::ALM2_T) = alarm2[0];
    at(reg::ALM2_T + 1) = alarm2[1];

    const PidLoop::Terms &k = pid_.terms();
    const PidLoop::Tuning t = tuning();
    const double pidTerms[] = {
        k.sv * 10, k.pv0 * 10, k.pv1 * 10, k.pv2 * 10, k.e0 * 10, k.e1 * 10, k.e2 * 10,
        k.gain * 10,                                   // Px, tenths of % per degree
        t.integral, t.derivative,                      // Ix, Dx in whole seconds
        t.manualReset * 10, t.antiReset * 10,          // Mrx, Arx
        k.pOut * 10, k.iOut * 10, k.dOut * 10,         // Pout, Iout, Dout
        t.band * 10,                                   // Pband
        std::max(t.antiReset - std::abs(k.iOut), 0.0) * 10,   // Arw: integral headroom
    };
    for (int i = 0; i < 17; ++i)
        r[std::size_t(reg::PID_TERMS - InputBase + i)] = toRegister(pidTerms[i]);

    // Level: the output as a bar of lit bits.
    const int bits = int(std::lround(std::clamp(output_, 0.0, 100.0) * 16.0 / 100.0));
    at(reg::LEVEL) = std::uint16_t(bits >= 16 ? 0xFFFF : (1u << bits) - 1u);
    // Converter counts: 20 per degree at the input, the cold junction in hundredths.
    at(reg::AD0) = toRegister(plant_.measured() * 20.0 + 1000.0);
    at(reg::AD1) = toRegister(plant_.ambient() * 100.0);
    return r;
}

} // namespace orbalis::sim
