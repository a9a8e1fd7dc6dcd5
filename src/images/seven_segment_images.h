#pragma once

#include <QColor>
#include <QImage>
#include <vector>

namespace orbalis {

// Colours of the seven-segment cells.
inline const QColor SevenSegmentRed(255, 0, 0);
inline const QColor SevenSegmentGreen(0, 107, 83);
inline const QColor SevenSegmentUnlit(220, 223, 223);
constexpr int SevenSegmentWidth = 64;
constexpr int SevenSegmentHeight = 80;

// The 23 cells of a seven-segment list, lit parts in `lit`:
// 1..9 digit, 10 digit 0, 11..20 the same with the decimal point,
// 21 and 23 nothing lit, 22 minus. Element 0 is image 1.
std::vector<QImage> drawSevenSegmentList(const QColor &lit);

} // namespace orbalis
