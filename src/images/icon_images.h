#pragma once

#include <QColor>
#include <QImage>
#include <vector>

namespace orbalis {

inline const QColor IconBackground(236, 236, 236);
inline const QColor LampRed(255, 0, 0);
inline const QColor LampGreen(0, 190, 0);
inline const QColor LampDark(165, 165, 165);

// The greyed twin of an icon: its luminance, lightened like a disabled icon.
QImage greyOut(const QImage &colour);

// The 11 images of the icon list; element 0 is image 1.
// 1 blank, 2/3 pen in hand, 4/5 brush, 6/7 palette (grey, colour; 60 x 59),
// 8/9 lamp "A1", 10/11 lamp "A2" (dark, lit; 59 x 59).
std::vector<QImage> drawIcons();

} // namespace orbalis
