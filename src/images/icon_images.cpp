#include "icon_images.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace orbalis {

namespace {

constexpr int IconWidth = 60, IconHeight = 59, LampSize = 59;

QImage blankIcon(int w = IconWidth, int h = IconHeight)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(IconBackground);
    return img;
}

// A pen held in a hand, writing towards the lower left.
QImage penInHand()
{
    QImage img = blankIcon();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // Pen: barrel from the upper right down to the nib.
    p.setPen(QPen(QColor(20, 40, 110), 1.2));
    p.setBrush(QColor(30, 80, 210));
    p.drawPolygon(QPolygonF({{50, 4}, {56, 10}, {22, 44}, {16, 38}}));
    p.setBrush(QColor(230, 180, 30));
    p.drawPolygon(QPolygonF({{16, 38}, {22, 44}, {10, 50}}));
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(QPointF(10.5, 49.5), 1.6, 1.6);

    // Hand: palm below the barrel, thumb over it.
    const QColor skin(244, 196, 156), outline(150, 95, 60);
    p.setPen(QPen(outline, 1.2));
    p.setBrush(skin);
    QPainterPath palm;
    palm.moveTo(24, 46);
    palm.cubicTo(28, 36, 40, 28, 50, 30);
    palm.cubicTo(58, 32, 60, 46, 56, 54);
    palm.cubicTo(46, 58, 32, 57, 24, 46);
    p.drawPath(palm);
    p.drawEllipse(QRectF(26, 26, 20, 10));   // thumb across the barrel
    p.drawEllipse(QRectF(20, 42, 14, 8));    // finger under the barrel
    return img;
}

// A paint brush with red paint on its tip.
QImage paintBrush()
{
    QImage img = blankIcon();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 50, 20), 1.2));
    p.setBrush(QColor(170, 100, 40));
    p.drawPolygon(QPolygonF({{52, 3}, {57, 8}, {32, 33}, {27, 28}}));   // handle
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(QColor(200, 200, 210));
    p.drawPolygon(QPolygonF({{27, 28}, {32, 33}, {25, 40}, {20, 35}}));   // ferrule
    p.setPen(QPen(QColor(120, 0, 0), 1.2));
    p.setBrush(QColor(220, 20, 20));
    QPainterPath tip;
    tip.moveTo(20, 35);
    tip.cubicTo(12, 38, 6, 48, 4, 56);
    tip.cubicTo(12, 54, 22, 48, 25, 40);
    tip.closeSubpath();
    p.drawPath(tip);
    return img;
}

// A painter's palette with a thumb hole and four colours.
QImage palette()
{
    QImage img = blankIcon();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 80, 30), 1.5));
    p.setBrush(QColor(232, 200, 150));
    p.drawEllipse(QRectF(4, 9, 52, 40));
    p.setBrush(IconBackground);
    p.drawEllipse(QRectF(14, 33, 11, 8));
    p.setPen(Qt::NoPen);
    const QColor blobs[] = {QColor(230, 30, 30), QColor(250, 215, 0), QColor(30, 90, 230),
                            QColor(30, 170, 60)};
    const QPointF at[] = {{18, 22}, {30, 17}, {42, 21}, {45, 34}};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(blobs[i]);
        p.drawEllipse(at[i], 5, 5);
    }
    return img;
}

// A round alarm lamp with its legend: grey when dark, a red disc with green
// letters when lit.
QImage lamp(const QString &legend, bool lit)
{
    QImage img = blankIcon(LampSize, LampSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(LampSize / 2.0, LampSize / 2.0);
    const QColor face = lit ? LampRed : LampDark;
    p.setPen(QPen(face.darker(170), 3));
    p.setBrush(face);
    p.drawEllipse(centre, 26, 26);
    // A small highlight gives the lamp its roundness.
    QRadialGradient shine(QPointF(20, 18), 12);
    shine.setColorAt(0, QColor(255, 255, 255, 150));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QPointF(20, 18), 12, 12);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(24);
    p.setFont(font);
    p.setPen(lit ? LampGreen : QColor(95, 95, 95));
    p.drawText(QRectF(0, 0, LampSize, LampSize), Qt::AlignCenter, legend);
    return img;
}

} // namespace

QImage greyOut(const QImage &colour)
{
    QImage grey = colour.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            // Halfway to white: greyed icons read as "off" beside the coloured ones.
            const int g = 128 + qGray(line[x]) / 2;
            line[x] = qRgb(g, g, g);
        }
    }
    return grey;
}

std::vector<QImage> drawIcons()
{
    const QImage pen = penInHand(), brush = paintBrush(), colours = palette();
    return {
        blankIcon(),
        greyOut(pen), pen,
        greyOut(brush), brush,
        greyOut(colours), colours,
        lamp(QStringLiteral("A1"), false), lamp(QStringLiteral("A1"), true),
        lamp(QStringLiteral("A2"), false), lamp(QStringLiteral("A2"), true),
    };
}

} // namespace orbalis
