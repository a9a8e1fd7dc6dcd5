#pragma once

#include <QString>

namespace orbalis {

// The serial settings window's baud box as the parameter write cycle sees it
// when a controller's baud rate has been changed.
class SerialSettingsView {
public:
    virtual ~SerialSettingsView() = default;
    // Puts the text into Combo_Control_Baud.
    virtual void setComboControlBaud(const QString &text) = 0;
};

} // namespace orbalis
