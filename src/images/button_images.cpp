#include "button_images.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <iterator>

namespace orbalis {

namespace {

constexpr int Bevel = 6;

// The slot squeezes these bitmaps to about half their width relative to their
// height, so the legends are drawn twice as wide to look upright on screen.
constexpr int LegendStretch = 200;

QFont legendFont(const QString &text, int pixels, double maxWidth)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setStretch(LegendStretch);
    for (; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(text) <= maxWidth)
            break;
    }
    font.setPixelSize(pixels);
    return font;
}

void drawBevel(QPainter &p, const QColor &face)
{
    const double w = ButtonWidth, h = ButtonHeight, b = Bevel;
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRect(QRectF(0, 0, w, h));
    p.setBrush(face.lighter(135));
    p.drawPolygon(QPolygonF({{0, 0}, {w, 0}, {w - b, b}, {b, b}, {b, h - b}, {0, h}}));
    p.setBrush(face.darker(160));
    p.drawPolygon(QPolygonF({{w, 0}, {w, h}, {0, h}, {b, h - b}, {w - b, h - b}, {w - b, b}}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(face.darker(250), 1));
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
}

} // namespace

QImage drawBevelledButton(const QColor &face, const QString &legend,
                            const QColor &legendColour, int legendPixels)
{
    QImage img(ButtonWidth, ButtonHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    drawBevel(p, face);
    if (!legend.isEmpty()) {
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF box(Bevel + 6, Bevel, ButtonWidth - 2 * (Bevel + 6), ButtonHeight - 2 * Bevel);
        p.setFont(legendFont(legend, legendPixels, box.width()));
        // A dark shadow keeps the light legend readable on the light face.
        p.setPen(QColor(20, 40, 90));
        p.drawText(box.translated(2, 2), Qt::AlignCenter, legend);
        p.setPen(legendColour);
        p.drawText(box, Qt::AlignCenter, legend);
    }
    return img;
}

QString stateLegend(int index)
{
    static const char *const Legends[] = {"",     "Input Open", "A/D Error", "EEPRom Error", "AutoTune Error",
                                          "High Error", "Low Error", "Off", "At1 SV", "At2 90% SV", "Hand",
                                          "None", "Prog", "Hold", "Menu"};
    if (index < 1 || index > int(std::size(Legends)))
        return {};
    return QString::fromLatin1(Legends[index - 1]);
}

std::vector<QImage> drawStateButtons()
{
    std::vector<QImage> images;
    images.push_back(drawBevelledButton(Qt::white));
    for (int index = 2; index <= 14; ++index)
        images.push_back(drawBevelledButton(ButtonFaceBlue, stateLegend(index)));
    images.push_back(drawBevelledButton(ButtonFaceBlue, stateLegend(15), MenuYellow, 62));
    return images;
}

std::vector<QImage> drawOutputBars()
{
    return {drawBevelledButton(BarGrey), drawBevelledButton(BarRed)};
}

} // namespace orbalis
