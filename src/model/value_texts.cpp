#include "display.h"

#include <cstdlib>

namespace orbalis {

namespace {

// The texts are written from the right into a buffer and made a QString
// once: every live reply makes a dozen of them.
class BackwardText {
public:
    BackwardText() = default;
    BackwardText(const BackwardText &) = delete;   // it points into its own buffer
    BackwardText &operator=(const BackwardText &) = delete;

    void digit(unsigned d) { *--p_ = char16_t(d < 10 ? u'0' + d : u'A' + d - 10); }
    void put(char16_t c) { *--p_ = c; }
    // `n` in decimal, at least `minDigits` digits.
    void decimal(std::uint32_t n, int minDigits)
    {
        int written = 0;
        do {
            digit(n % 10);
            n /= 10;
            ++written;
        } while (n);
        for (; written < minDigits; ++written)
            put(u'0');
    }
    QString text() const { return QString(reinterpret_cast<const QChar *>(p_), end() - p_); }

private:
    const char16_t *end() const { return buf_ + sizeof buf_ / sizeof *buf_; }
    char16_t buf_[16];
    char16_t *p_ = buf_ + sizeof buf_ / sizeof *buf_;
};

// s / 10^decimals (1 to 3) with exactly `decimals` digits after the point and
// at least one before it. Integer arithmetic: no binary fractions, no locale.
QString fixedPoint(int s, int decimals)
{
    BackwardText t;
    std::uint32_t magnitude = std::uint32_t(std::abs(s));
    for (int i = 0; i < decimals; ++i) {
        t.digit(magnitude % 10);
        magnitude /= 10;
    }
    t.put(u'.');
    t.decimal(magnitude, 1);
    if (s < 0)
        t.put(u'-');
    return t.text();
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
    BackwardText text;
    text.digit(t % 60 % 10);
    text.digit(t % 60 / 10);
    text.put(u':');
    text.decimal(t / 60, 2);
    return text.text();
}

QString hexText(std::uint16_t u)
{
    BackwardText text;
    for (int i = 0; i < 4; ++i)
        text.digit((u >> (4 * i)) & 0xF);
    return text.text();
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
