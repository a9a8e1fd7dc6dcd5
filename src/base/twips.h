#pragma once

#include <QRect>

namespace orbalis {

// Window positions are given in twips (1440 per inch); Qt's logical pixels are
// 1/96 inch, so 15 twips make one pixel.
constexpr int TwipsPerPixel = 15;

constexpr int Twips_To_Pixels(int twips)
{
    return (twips >= 0 ? twips + TwipsPerPixel / 2 : twips - TwipsPerPixel / 2) / TwipsPerPixel;
}

constexpr int Pixels_To_Twips(int pixels)
{
    return pixels * TwipsPerPixel;
}

inline QRect Twips_Rect(int left, int top, int width, int height)
{
    return QRect(Twips_To_Pixels(left), Twips_To_Pixels(top), Twips_To_Pixels(width),
                 Twips_To_Pixels(height));
}

} // namespace orbalis
