#include "slot_picture.h"

#include "scaled_image_cache.h"

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace orbalis {

namespace {

// How far below the text's top printText puts the baseline, and how far the
// text reaches down from its top: the font's own line, widened where glyphs
// of a fallback face reach above its ascent or below its descent.
struct TextExtent {
    int ascent;
    int height;
};

TextExtent textExtent(const QFontMetrics &metrics, const QString &text)
{
    const QRect ink = text.isEmpty() ? QRect() : metrics.tightBoundingRect(text);
    const int ascent = std::max(metrics.ascent(), -ink.top());
    const int descent = std::max(metrics.descent(), ink.bottom() + 1);
    return {ascent, ascent + descent};
}

// One for all pictures: the sixteen slots show the same bitmaps at the same
// sizes.
ScaledImageCache &scaledBitmaps()
{
    static ScaledImageCache cache;
    return cache;
}

} // namespace

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
    return unitsToPixels(units, UnitsAcross, pixelSize().width());
}

int SlotPicture::pixelY(int units) const
{
    return unitsToPixels(units, UnitsDown, pixelSize().height());
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
        pasted_.clear();
        return false;
    }
    if (picture_.size() != pixels) {
        pasted_.clear();
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
    pasted_.clear();
    update();
}

void SlotPicture::forgetPasted(const QRect &pixels)
{
    std::erase_if(pasted_, [&](const Pasted &p) { return p.target.intersects(pixels); });
}

void SlotPicture::paintImage(const QImage &image, int x, int y, int w, int h)
{
    ++imagesPainted_;
    if (!matchWidgetSize() || image.isNull())
        return;
    const QRect target = pixelRect(x, y, w, h);
    if (target.width() <= 0 || target.height() <= 0)
        return;
    const qint64 key = image.cacheKey();
    if (std::any_of(pasted_.begin(), pasted_.end(),
                    [&](const Pasted &p) { return p.target == target && p.image == key; }))
        return;
    const QImage scaled = scaledBitmaps().scaled(image, target.size());
    QPainter p(&picture_);
    p.drawImage(target.topLeft(), scaled);
    p.end();
    forgetPasted(target);
    pasted_.push_back({target, key});
    updatePixels(target);
}

QFont SlotPicture::textFont(int pixelSize)
{
    QFont font(QStringLiteral("DotumChe"));
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

double SlotPicture::pixelsPerPoint() const
{
    return logicalDpiY() / 72.0 * devicePixelRatioF();
}

int SlotPicture::nameFontSize(int q) const
{
    // Names are code page 950 texts: Latin letters with their descenders and
    // Chinese, whose glyphs come from a fallback face and at some sizes rise
    // a pixel above the font's ascent. The size holds any of them, so a name
    // typed later fits as well as the names of today.
    static const QString tallestAndDeepest = QStringLiteral("Agjy|爐國");
    const auto lineHeight = [](int pixelSize) {
        return textExtent(QFontMetrics(textFont(pixelSize)), tallestAndDeepest).height;
    };
    return slotFontSizeFor({q, pixelsHigh(), pixelsPerPoint()}, lineHeight);
}

void SlotPicture::printText(int x, int y, const QString &text, int pointSize)
{
    if (!matchWidgetSize() || text.isEmpty() || pointSize <= 0)
        return;
    // Points at the screen's resolution, in the image's physical pixels.
    const QFont font = textFont(pointSizeToPixels(pointSize, pixelsPerPoint()));
    const QFontMetrics metrics(font);
    const QPoint topLeft(pixelX(x), pixelY(y));

    QPainter p(&picture_);
    p.setFont(font);
    p.setPen(textColour());
    const TextExtent extent = textExtent(metrics, text);
    p.drawText(topLeft.x(), topLeft.y() + extent.ascent, text);
    p.end();
    const QRect drawn(topLeft, QSize(metrics.horizontalAdvance(text) + metrics.maxWidth(), extent.height));
    forgetPasted(drawn);
    updatePixels(drawn);
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
    paintHealthOverlay(p, r);
}

QRectF SlotPicture::logicalRect(int x, int y, int w, int h) const
{
    const QRect pixels = pixelRect(x, y, w, h);
    const double ratio = devicePixelRatioF();
    return QRectF(pixels.x() / ratio, pixels.y() / ratio, pixels.width() / ratio, pixels.height() / ratio);
}

void SlotPicture::setHealthOverlay(const QColor &mark, const QString &oldValuesWord)
{
    if (mark == mark_ && oldValuesWord == oldWord_)
        return;
    if (mark != mark_)
        update(logicalRect(HealthMarkLeft, 0, 10, 10).toAlignedRect());
    if (oldValuesWord != oldWord_)
        update(logicalRect(0, 10, UnitsAcross, 40).toAlignedRect());
    mark_ = mark;
    oldWord_ = oldValuesWord;
}

void SlotPicture::paintHealthOverlay(QPainter &p, const QRect &painted) const
{
    // Most paints are a reply's digits: the overlay is drawn only where the
    // paint reaches it, the rest of the widget keeps what it showed.
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF cell = logicalRect(HealthMarkLeft, 0, 10, 10);
    if (mark_.isValid() && cell.intersects(painted)) {
        // A lamp in the top row's empty cell, the size of the icons' discs.
        const double d = std::min(cell.width(), cell.height()) * 0.7;
        const QRectF disc(cell.center().x() - d / 2, cell.center().y() - d / 2, d, d);
        p.setPen(QPen(mark_.darker(160), std::max(1.0, d / 10)));
        p.setBrush(mark_);
        p.drawEllipse(disc);
    }
    const QRectF rows = logicalRect(0, 10, UnitsAcross, 40);
    if (!oldWord_.isEmpty() && rows.intersects(painted)) {
        // The PV and SV rows, dimmed: still legible, plainly not live.
        p.fillRect(rows, QColor(96, 96, 96, 150));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(std::max(8, int(rows.height() / 5)));
        p.setFont(font);
        const QFontMetricsF metrics(font);
        const QSizeF box(metrics.horizontalAdvance(oldWord_) + metrics.height(), metrics.height() * 1.3);
        const QRectF label(rows.center().x() - box.width() / 2, rows.center().y() - box.height() / 2,
                           box.width(), box.height());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRoundedRect(label, box.height() / 4, box.height() / 4);
        p.setPen(QColor(60, 60, 60));
        p.drawText(label, Qt::AlignCenter, oldWord_);
    }
}

void SlotPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    matchWidgetSize();
}

} // namespace orbalis
