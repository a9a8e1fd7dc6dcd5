#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

namespace orbalis {

// Reads the number at the start of a text as the console reads whatever a
// user typed: leading blanks skipped, an optional sign, digits, "." as the
// decimal point whatever the locale, an optional exponent; reading stops at
// the first character that cannot continue the number. A text without a
// number reads as 0.
double leadingNumber(QStringView text);

// Whether the text starts (after blanks) with a number at all.
bool hasLeadingNumber(QStringView text);

// The leading number (as leadingNumber reads it) times 10 to the power
// `decimals`, rounded to the nearest whole number, a half to the even
// neighbour. Worked out on the decimal digits, so 1.015 times 100 is exactly
// the half 101.5 (binary arithmetic makes it 101.4999...). nullopt when the
// result does not fit a signed 32-bit integer.
std::optional<std::int32_t> scaledLeadingNumber(QStringView text, int decimals);

// Whether the whole text is a number as the console shows numbers: an
// optional sign, digits and at most one "." point, nothing else (no blanks,
// no exponent, no other separator).
bool isPlainNumber(QStringView text);

// Rounds to the nearest whole number, a half to the even neighbour.
// nullopt when the result does not fit a signed 32-bit integer (or is not finite).
std::optional<std::int32_t> roundHalfEven(double value);

} // namespace orbalis
