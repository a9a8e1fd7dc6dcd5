#include "open_serial_port.h"

#include "base/leading_number.h"

#include <limits>

namespace orbalis {

int portNumber(const QString &port)
{
    const auto n = roundHalfEven(leadingNumber(QStringView(port).trimmed().mid(3)));
    // CommPort is a 16-bit number; anything beyond names no port at all.
    if (!n || *n < std::numeric_limits<std::int16_t>::min() || *n > std::numeric_limits<std::int16_t>::max())
        return 0;
    return *n;
}

QString portSettingsText(const SerialSettings &serial)
{
    const QString parity = serial.Parity.trimmed().left(1);
    return serial.Baud + QLatin1Char(',') + parity + QLatin1Char(',') + serial.DataBits + QLatin1Char(',')
        + serial.StopBits;
}

void Open_Serial_Port(SerialPort &port, const SerialSettings &serial) noexcept
{
    // Each step on its own: a failing step is skipped and the next one runs.
    const auto step = [](auto &&s) {
        try {
            s();
            return true;
        } catch (...) {
            return false;
        }
    };

    if (serial.Port == QLatin1String("CLOSE"))
        return;
    step([&] {
        if (port.PortOpen())
            port.setPortOpen(false);
    });
    // Opening with the number of whichever port was selected before would
    // talk to a device nobody chose.
    const bool numberSet = step([&] { port.setCommPort(portNumber(serial.Port)); });
    step([&] { port.setSettings(portSettingsText(serial)); });
    if (numberSet)
        step([&] { port.setPortOpen(true); });
}

} // namespace orbalis
