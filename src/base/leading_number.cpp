#include "leading_number.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <string>
#include <string_view>

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

// The parts of a number prefix: its sign, its digits without the point, and
// the power of ten the last digit stands for.
struct DecimalNumber {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

DecimalNumber decimalParts(const std::string &prefix)
{
    // Far beyond any 32-bit result either way, and far from overflowing.
    constexpr long long ExponentCap = 1000000;
    DecimalNumber n;
    size_t i = 0;
    if (i < prefix.size() && (prefix[i] == '+' || prefix[i] == '-'))
        n.negative = prefix[i++] == '-';
    bool afterPoint = false;
    for (; i < prefix.size() && prefix[i] != 'e'; ++i) {
        if (prefix[i] == '.') {
            afterPoint = true;
            continue;
        }
        n.digits += prefix[i];
        if (afterPoint)
            --n.exponent;
    }
    if (i < prefix.size()) {
        ++i;
        bool negativeExponent = false;
        if (i < prefix.size() && (prefix[i] == '+' || prefix[i] == '-'))
            negativeExponent = prefix[i++] == '-';
        long long e = 0;
        for (; i < prefix.size(); ++i)
            e = std::min(ExponentCap, e * 10 + (prefix[i] - '0'));
        n.exponent += negativeExponent ? -e : e;
    }
    return n;
}

} // namespace

std::optional<std::int32_t> scaledLeadingNumber(QStringView text, int decimals)
{
    DecimalNumber n = decimalParts(numberPrefix(text));
    n.exponent += decimals;
    const size_t firstDigit = n.digits.find_first_not_of('0');
    if (firstDigit == std::string::npos)
        return 0;
    n.digits.erase(0, firstDigit);
    // Digits before the point of the result; what follows them is rounded away.
    const long long whole = static_cast<long long>(n.digits.size()) + n.exponent;
    if (whole > 10)
        return std::nullopt;
    const auto count = static_cast<long long>(n.digits.size());
    long long magnitude = 0;
    for (long long k = 0; k < whole; ++k)
        magnitude = magnitude * 10 + (k < count ? n.digits[size_t(k)] - '0' : 0);
    // With fewer than no whole digits the number is below 0.1 and rounds to 0.
    if (whole >= 0 && whole < count) {
        const std::string_view rest = std::string_view(n.digits).substr(size_t(whole));
        const bool half = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string_view::npos;
        if ((rest[0] >= '5' && !half) || (half && magnitude % 2 != 0))
            ++magnitude;
    }
    const long long value = n.negative ? -magnitude : magnitude;
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool isPlainNumber(QStringView text)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i]))
            digits = true;
        else if (text[i] == QLatin1Char('.') && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

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
