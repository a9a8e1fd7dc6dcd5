#include "line_settings.h"

#include <QStringList>

namespace orbalis {

namespace {

// One character (start bit, data bits, parity bit and stop bits) at the baud
// rate, in millionths of a microsecond, so that counts of characters and
// half characters stay whole numbers.
qint64 characterPicoseconds(const LineSettings &line)
{
    if (line.baud <= 0)
        return 0;
    // Counted in half bits, for 1.5 stop bits.
    int halfBits = 2 + 2 * int(line.dataBits);
    if (line.parity != QSerialPort::NoParity)
        halfBits += 2;
    switch (line.stopBits) {
    case QSerialPort::OneStop: halfBits += 2; break;
    case QSerialPort::OneAndHalfStop: halfBits += 3; break;
    case QSerialPort::TwoStop: halfBits += 4; break;
    }
    return qint64(halfBits) * 500'000 * 1'000'000 / line.baud;
}

} // namespace

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

std::chrono::microseconds wireTime(qsizetype bytes, const LineSettings &line)
{
    return std::chrono::microseconds(characterPicoseconds(line) * bytes / 1'000'000);
}

std::chrono::microseconds frameGap(const LineSettings &line)
{
    // Rounded up: a gap one microsecond short is no gap.
    return std::chrono::microseconds((characterPicoseconds(line) * 7 + 1'999'999) / 2'000'000);
}

} // namespace orbalis
