#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <optional>

namespace orbalis {

// One good live-value reply as a trend keeps it: 16 bytes, so a day of a slot
// polled every 1.6 s (54 000 replies) takes under 1 MB.
struct TrendSample {
    enum Flag : std::uint8_t {
        Alarm1 = 0x01,
        Alarm2 = 0x02,
        DecimalsMask = 0x0C,   // PV and SV decimals, 0..3
        DecimalsShift = 2,
        BreaksBefore = 0x10,   // no good reply for too long before this one
    };

    qint64 timeMs = 0;        // when the reply was judged, ms since the epoch
    std::int16_t pv = 0;      // PV and SV as the controller sends them, `decimals()` places
    std::int16_t sv = 0;
    std::int16_t output = 0;  // Outl, tenths of a percent
    std::uint8_t flags = 0;

    int decimals() const { return (flags & DecimalsMask) >> DecimalsShift; }
    bool alarm1() const { return flags & Alarm1; }
    bool alarm2() const { return flags & Alarm2; }
    bool breaksBefore() const { return flags & BreaksBefore; }
    void setBreaksBefore(bool on)
    {
        flags = on ? std::uint8_t(flags | BreaksBefore) : std::uint8_t(flags & ~BreaksBefore);
    }

    double pvValue() const { return scaled(pv); }
    double svValue() const { return scaled(sv); }
    double outputPercent() const { return output / 10.0; }

    double scaled(std::int16_t raw) const;

    friend bool operator==(const TrendSample &, const TrendSample &) = default;
};
static_assert(sizeof(TrendSample) == 16);

// Decimals of a decimal-point code: 48..50 give 1..3, any other none.
int decimalsOfDpCode(std::int32_t dpCode);

// Flags of the two alarm lamps from the status word, as the slot paints them:
// only a low nibble of 1, 2 or 3 lights a lamp (bit 0 alarm 1, bit 1 alarm 2).
std::uint8_t alarmFlags(std::uint16_t statusWord);

// PV, SV, Outl and the alarm lamps of a live-value reply (30 registers from
// 4096); nothing for a reply too short to hold them.
std::optional<TrendSample> decodeLiveSample(const QByteArray &reply, std::int32_t dpCode, qint64 timeMs);

} // namespace orbalis
