#include "line_settings.h"

#include <QStringList>

namespace orbalis {

std::optional<LineSettings> parseLineSettings(const QString &text)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 4)
        return std::nullopt;
    LineSettings s;

    bool ok = false;
    s.baud = f[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return std::nullopt;

    const QString parity = f[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        s.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        s.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        s.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        s.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        s.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const int data = f[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return std::nullopt;
    s.dataBits = QSerialPort::DataBits(data);

    const QString stop = f[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        s.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return s;
}

} // namespace orbalis
