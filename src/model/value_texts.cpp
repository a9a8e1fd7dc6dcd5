#include "display.h"

#include <cstdlib>

namespace orbalis {

namespace {

// s / 10^decimals with exactly `decimals` digits after the point and at least
// one before it. Integer arithmetic: no binary fractions, no locale.
QString fixedPoint(int s, int decimals)
{
    int divisor = 1;
    for (int i = 0; i < decimals; ++i)
        divisor *= 10;
    const int magnitude = std::abs(s);
    QString text = s < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / divisor);
    text += QLatin1Char('.');
    text += QStringLiteral("%1").arg(magnitude % divisor, decimals, 10, QLatin1Char('0'));
    return text;
}

QString hexByte(int byte)
{
    QString text = QString::number(byte, 16).toUpper();
    Pad_Hex_Digit(text);
    return text;
}

} // namespace

QString unsignedText(std::uint16_t u)
{
    return QString::number(u);
}

QString signedText(std::int16_t s)
{
    return QString::number(s);
}

QString tenthsText(std::int16_t s)
{
    return fixedPoint(s, 1);
}

QString scaledText(std::int16_t s, int dpCode)
{
    switch (dpCode) {
    case 48: return fixedPoint(s, 1);
    case 49: return fixedPoint(s, 2);
    case 50: return fixedPoint(s, 3);
    default: return QString::number(s);
    }
}

QString timeText(std::uint32_t v)
{
    const std::uint32_t t = v / 10;
    return QStringLiteral("%1:%2")
        .arg(t / 60, 2, 10, QLatin1Char('0'))
        .arg(t % 60, 2, 10, QLatin1Char('0'));
}

QString hexText(std::uint16_t u)
{
    return hexByte(u >> 8) + hexByte(u & 0xFF);
}

void Pad_Hex_Digit(QString &text)
{
    text = text.trimmed();
    if (text.size() != 1)
        return;
    const QChar c = text[0];
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F')))
        text.prepend(QLatin1Char('0'));
}

int choiceIndex(std::uint16_t u, int lowestCode, int highestCode)
{
    if (u < lowestCode || u > highestCode)
        return 0;
    return u - lowestCode;
}

} // namespace orbalis
