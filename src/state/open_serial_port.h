#pragma once

#include "link/serial_port.h"

#include "settings/settings_model.h"

#include <QString>

namespace orbalis {

// The port number of a Port text: the leading number after its first three
// characters ("COM7" gives 7, "COM12" gives 12).
int portNumber(const QString &port);
// "19200,N,8,2": Baud, first letter of Parity, DataBits, StopBits.
QString portSettingsText(const SerialSettings &serial);

// Applies the settings and opens the port. "CLOSE" leaves the port as it is.
// Every failing step is skipped silently; callers read PortOpen afterwards.
void Open_Serial_Port(SerialPort &port, const SerialSettings &serial) noexcept;

} // namespace orbalis
