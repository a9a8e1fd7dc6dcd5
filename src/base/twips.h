#pragma once

#include <QRect>

namespace orbalis {

// Window positions are given in twips (1440 per inch); Qt's logical pixels are
// 1/96 inch, so 15 twips make one pixel.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips >= 0 ? twips + TwipsPerPixel / 2 : twips - TwipsPerPixel / 2) / TwipsPerPixel;
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

} // namespace orbalis
