#pragma once

#include <QString>
#include <array>
#include <compare>
#include <cstdint>

namespace orbalis {

// What can be in alarm. The first nine belong to a bound slot; PortLost
// belongs to the line.
enum class AlarmKind : std::uint8_t {
    Alarm1,    // the slot's lamp A1
    Alarm2,    // the slot's lamp A2
    InputOpen, // the error codes the state banner shows, 1 to 6
    AdError,
    EepromError,
    AutoTuneError,
    HighError,
    LowError,
    NoReply,  // no good reply to the last 5 polls
    PortLost, // the serial port is closed or gone
};
constexpr int AlarmKindCount = 10;
constexpr std::array<AlarmKind, AlarmKindCount> AllAlarmKinds{
    AlarmKind::Alarm1,        AlarmKind::Alarm2,    AlarmKind::InputOpen, AlarmKind::AdError, AlarmKind::EepromError,
    AlarmKind::AutoTuneError, AlarmKind::HighError, AlarmKind::LowError,  AlarmKind::NoReply, AlarmKind::PortLost};

// "Alarm 1", "Alarm 2", "Input Open", "A/D Error", "EEPRom Error",
// "AutoTune Error", "High Error", "Low Error", "No reply", "Port lost".
QString alarmName(AlarmKind kind);
// The error code of the banner for InputOpen..LowError (1..6); 0 for others.
int errorCodeOf(AlarmKind kind);
// InputOpen..LowError for the codes 1..6.
AlarmKind errorKind(int code);

// One alarm: a kind of a slot's controller, or of the line.
struct AlarmKey {
    int slot = -1;        // 0..15; -1 for the line
    int controllerId = 0; // 1..255; 0 for the line
    AlarmKind kind = AlarmKind::PortLost;

    static AlarmKey line() { return {-1, 0, AlarmKind::PortLost}; }
    bool isLine() const { return slot < 0; }
    friend auto operator<=>(const AlarmKey &, const AlarmKey &) = default;
};

} // namespace orbalis
