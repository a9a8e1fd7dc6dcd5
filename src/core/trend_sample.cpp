#include "trend_sample.h"

#include "base/error.h"
#include "model/register_addresses.h"
#include "model/register_map.h"
#include "model/reply_registers.h"
#include "model/status_word.h"

namespace orbalis {

namespace {

constexpr double PowersOfTen[4] = {1.0, 10.0, 100.0, 1000.0};

std::uint16_t liveRegister(const QByteArray &reply, int address)
{
    const int hi = registerPosition(address, InputRegisterBase);
    return replyRegister(reply, hi, hi + 1);
}

} // namespace

double TrendSample::scaled(std::int16_t raw) const
{
    return raw / PowersOfTen[decimals()];
}

int decimalsOfDpCode(std::int32_t dpCode)
{
    return dpCode >= 48 && dpCode <= 50 ? int(dpCode - 47) : 0;
}

std::uint8_t alarmFlags(std::uint16_t statusWord)
{
    return litAlarmLamps(statusWord);
}

std::optional<TrendSample> decodeLiveSample(const QByteArray &reply, std::int32_t dpCode, qint64 timeMs)
{
    try {
        TrendSample s;
        s.timeMs = timeMs;
        s.pv = std::int16_t(liveRegister(reply, reg::PV_IN));
        s.sv = std::int16_t(liveRegister(reply, reg::SV_IN));
        s.output = std::int16_t(liveRegister(reply, reg::OUT_IN));
        s.flags = std::uint8_t(alarmFlags(liveRegister(reply, reg::STATUS_IN))
                               | decimalsOfDpCode(dpCode) << TrendSample::DecimalsShift);
        return s;
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace orbalis
