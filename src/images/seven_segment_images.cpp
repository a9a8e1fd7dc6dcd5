#include "seven_segment_images.h"

#include <QPainter>
#include <QPolygonF>
#include <array>

namespace orbalis {

namespace {

// Segment bits: a top, b upper right, c lower right, d bottom, e lower left,
// f upper left, g middle.
enum : unsigned { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

constexpr std::array<unsigned, 10> DigitSegments = {
    A | B | C | D | E | F,       // 0
    B | C,                       // 1
    A | B | G | E | D,           // 2
    A | B | G | C | D,           // 3
    F | G | B | C,               // 4
    A | F | G | C | D,           // 5
    A | F | G | E | C | D,       // 6
    A | B | C,                   // 7
    A | B | C | D | E | F | G,   // 8
    A | B | C | D | F | G,       // 9
};

// Digit box inside the 64 x 80 tile, segment thickness and the gap between
// segment ends.
constexpr double Left = 7, Right = 45, Top = 8, Bottom = 72;
constexpr double Thick = 7, Half = Thick / 2, Gap = 1.2;
constexpr double Middle = (Top + Bottom) / 2;

QPolygonF horizontalSegment(double x0, double x1, double cy)
{
    x0 += Half + Gap;
    x1 -= Half + Gap;
    return QPolygonF({{x0, cy}, {x0 + Half, cy - Half}, {x1 - Half, cy - Half},
                      {x1, cy}, {x1 - Half, cy + Half}, {x0 + Half, cy + Half}});
}

QPolygonF verticalSegment(double cx, double y0, double y1)
{
    y0 += Gap;
    y1 -= Gap;
    return QPolygonF({{cx, y0}, {cx + Half, y0 + Half}, {cx + Half, y1 - Half},
                      {cx, y1}, {cx - Half, y1 - Half}, {cx - Half, y0 + Half}});
}

QPolygonF segmentShape(unsigned segment)
{
    const double xl = Left + Half, xr = Right - Half;
    const double yt = Top + Half, yb = Bottom - Half;
    switch (segment) {
    case A: return horizontalSegment(Left, Right, yt);
    case G: return horizontalSegment(Left, Right, Middle);
    case D: return horizontalSegment(Left, Right, yb);
    case F: return verticalSegment(xl, yt, Middle);
    case B: return verticalSegment(xr, yt, Middle);
    case E: return verticalSegment(xl, Middle, yb);
    default: return verticalSegment(xr, Middle, yb);   // C
    }
}

// One cell: the segments in `lit`, and the decimal point (the lowest of the
// three dots) when `point` is set.
QImage drawCell(unsigned lit, bool point, const QColor &litColour)
{
    QImage img(SevenSegmentWidth, SevenSegmentHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // A slight slant, as on a panel meter's display.
    p.save();
    p.setTransform(QTransform().translate(0, Middle).shear(-0.08, 0).translate(0, -Middle));
    for (unsigned s : {A, B, C, D, E, F, G}) {
        p.setBrush((lit & s) ? litColour : SevenSegmentUnlit);
        p.drawPolygon(segmentShape(s));
    }
    p.restore();

    const double dotX = 55, radius = 3.6;
    const std::array<double, 3> dotY = {Top + 14, Middle, Bottom - Half};
    for (size_t i = 0; i < dotY.size(); ++i) {
        const bool on = point && i == dotY.size() - 1;
        p.setBrush(on ? litColour : SevenSegmentUnlit);
        p.drawEllipse(QPointF(dotX, dotY[i]), radius, radius);
    }
    return img;
}

} // namespace

std::vector<QImage> drawSevenSegmentList(const QColor &lit)
{
    std::vector<QImage> cells;
    cells.reserve(23);
    for (bool point : {false, true}) {
        for (int digit : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0})
            cells.push_back(drawCell(DigitSegments[size_t(digit)], point, lit));
    }
    const QImage blank = drawCell(0, false, lit);
    cells.push_back(blank);                       // 21
    cells.push_back(drawCell(G, false, lit));     // 22 minus
    cells.push_back(blank);                       // 23
    return cells;
}

} // namespace orbalis
