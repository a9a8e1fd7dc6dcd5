#include "leading_number.h"

#include <cmath>
#include <charconv>
#include <string>

namespace orbalis {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The longest prefix (after blanks) that forms a number, as ASCII; empty when none.
std::string numberPrefix(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    std::string out;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        out += char(text[i++].unicode());
    bool digits = false;
    while (i < n && isDigit(text[i])) {
        out += char(text[i++].unicode());
        digits = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        out += '.';
        ++i;
        while (i < n && isDigit(text[i])) {
            out += char(text[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return {};
    // An exponent counts only when digits follow it.
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exp = "e";
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exp += char(text[j++].unicode());
        bool expDigits = false;
        while (j < n && isDigit(text[j])) {
            exp += char(text[j++].unicode());
            expDigits = true;
        }
        if (expDigits)
            out += exp;
    }
    return out;
}

} // namespace

double leadingNumber(QStringView text)
{
    const std::string prefix = numberPrefix(text);
    if (prefix.empty())
        return 0.0;
    // from_chars ignores the process locale, so "." is the point everywhere.
    // It takes no "+" sign; a leading "+" changes nothing.
    const char *first = prefix.c_str();
    if (*first == '+')
        ++first;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, prefix.c_str() + prefix.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Too small underflows to 0; too large is reported later as out of range.
        if (prefix.find("e-") != std::string::npos)
            return 0.0;
        return (*first == '-') ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
}

bool hasLeadingNumber(QStringView text)
{
    return !numberPrefix(text).empty();
}

std::optional<std::int32_t> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);   // default rounding mode: half to even
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(r);
}

} // namespace orbalis
