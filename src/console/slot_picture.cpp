#include "slot_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace orbalis {

SlotPicture::SlotPicture(QWidget *parent) : QWidget(parent)
{
    // Every pixel comes from the retained image: no background fill needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor SlotPicture::background() const
{
    return palette().color(QPalette::Window);
}

QSize SlotPicture::pixelSize() const
{
    const double ratio = devicePixelRatioF();
    return QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
}

int SlotPicture::pixelX(int units) const
{
    return int(std::lround(double(units) * pixelSize().width() / UnitsAcross));
}

int SlotPicture::pixelY(int units) const
{
    return int(std::lround(double(units) * pixelSize().height() / UnitsDown));
}

QRect SlotPicture::pixelRect(int x, int y, int w, int h) const
{
    const int left = pixelX(x), top = pixelY(y);
    return QRect(left, top, pixelX(x + w) - left, pixelY(y + h) - top);
}

bool SlotPicture::matchWidgetSize()
{
    const QSize pixels = pixelSize();
    if (pixels.isEmpty()) {
        picture_ = QImage();
        return false;
    }
    if (picture_.size() != pixels) {
        // The old drawing is not kept: the layout repaints the frame after
        // every resize, and the values come back with the next reply.
        picture_ = QImage(pixels, QImage::Format_RGB32);
        picture_.fill(background());
        update();
    }
    return true;
}

void SlotPicture::updatePixels(const QRect &pixels)
{
    const QRect visible = pixels.intersected(picture_.rect());
    if (visible.isEmpty())
        return;
    const double ratio = devicePixelRatioF();
    update(QRectF(visible.x() / ratio, visible.y() / ratio, visible.width() / ratio,
                  visible.height() / ratio).toAlignedRect());
}

void SlotPicture::clear()
{
    if (!matchWidgetSize())
        return;
    picture_.fill(background());
    update();
}

void SlotPicture::paintImage(const QImage &image, int x, int y, int w, int h)
{
    ++imagesPainted_;
    if (!matchWidgetSize() || image.isNull())
        return;
    const QRect target = pixelRect(x, y, w, h);
    if (target.width() <= 0 || target.height() <= 0)
        return;
    // Qt's smooth scaling averages the source pixels when it shrinks, which
    // keeps thin segments and legends legible at a few dozen pixels.
    const QImage scaled = image.scaled(target.size(), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
    QPainter p(&picture_);
    p.drawImage(target.topLeft(), scaled);
    p.end();
    updatePixels(target);
}

void SlotPicture::printText(int x, int y, const QString &text, int pointSize)
{
    if (!matchWidgetSize() || text.isEmpty() || pointSize <= 0)
        return;
    QFont font(QStringLiteral("DotumChe"));
    // Points at the screen's resolution, in the image's physical pixels.
    const double pixels = pointSize * logicalDpiY() / 72.0 * devicePixelRatioF();
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    const QFontMetrics metrics(font);
    const QPoint topLeft(pixelX(x), pixelY(y));

    QPainter p(&picture_);
    p.setFont(font);
    p.setPen(textColour());
    p.drawText(topLeft.x(), topLeft.y() + metrics.ascent(), text);
    p.end();
    updatePixels(QRect(topLeft, QSize(metrics.horizontalAdvance(text) + metrics.maxWidth(),
                                      metrics.height())));
}

void SlotPicture::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (picture_.size() != pixelSize()) {
        p.fillRect(event->rect(), background());
        return;
    }
    const double ratio = devicePixelRatioF();
    const QRect r = event->rect();
    p.drawImage(QRectF(r), picture_, QRectF(r.x() * ratio, r.y() * ratio,
                                            r.width() * ratio, r.height() * ratio));
}

void SlotPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    matchWidgetSize();
}

} // namespace orbalis
