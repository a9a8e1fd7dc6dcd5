#pragma once

#include "settings/settings_model.h"

#include <QString>
#include <array>

namespace orbalis {

// The five combo boxes of the serial settings window, in the order of the
// window (and of SerialSettings).
enum class SerialField { Port, Baud, Stop, Data, Party };

constexpr std::array<SerialField, 5> AllSerialFields{SerialField::Port, SerialField::Baud, SerialField::Stop,
                                                     SerialField::Data, SerialField::Party};

// The string of the settings that belongs to a combo box.
inline QString &fieldOf(SerialSettings &serial, SerialField field)
{
    switch (field) {
    case SerialField::Port: return serial.Port;
    case SerialField::Baud: return serial.Baud;
    case SerialField::Stop: return serial.StopBits;
    case SerialField::Data: return serial.DataBits;
    case SerialField::Party: break;
    }
    return serial.Parity;
}

inline const QString &fieldOf(const SerialSettings &serial, SerialField field)
{
    return fieldOf(const_cast<SerialSettings &>(serial), field);
}

// What the settings logic and the scan need of the window's controls; the
// window implements it, so the logic carries no widget code.
class SerialSettingControls {
public:
    virtual ~SerialSettingControls() = default;
    virtual QString comboText(SerialField field) const = 0;
    virtual void setComboText(SerialField field, const QString &text) = 0;
    // "Close" and "Cancel" are always switched together.
    virtual void setCloseCancelEnabled(bool enabled) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
};

} // namespace orbalis
