#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

namespace orbalis {

constexpr int ButtonWidth = 384;
constexpr int ButtonHeight = 80;

inline const QColor ButtonFaceBlue(164, 204, 242);
inline const QColor LegendAmber(255, 176, 0);
inline const QColor MenuYellow(255, 255, 0);
inline const QColor BarGrey(200, 200, 200);
inline const QColor BarRed(235, 0, 0);

// A 384 x 80 bevelled button with `face` colour and an optional legend.
QImage drawBevelledButton(const QColor &face, const QString &legend = {},
                            const QColor &legendColour = LegendAmber, int legendPixels = 40);

// The legend of image `index` (1..15) of the state banner list; empty for
// image 1 (white) and outside the list.
QString stateLegend(int index);
// The 15 images of the state banner list; element 0 is image 1 (white, no legend).
std::vector<QImage> drawStateButtons();
// The two output bars: 1 the light grey background, 2 the red fill.
std::vector<QImage> drawOutputBars();

} // namespace orbalis
