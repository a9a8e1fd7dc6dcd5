#pragma once

#include "panel_layout.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

namespace orbalis {

// One slot picture Pic_Control(k): a widget that keeps its drawing in a
// retained image and repaints itself from it. Drawing positions are user
// units, 60 across and 70 down, whatever the widget's size.
class SlotPicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int UnitsAcross = SlotUnitsAcross;
    static constexpr int UnitsDown = SlotUnitsDown;
    // The colour of printed text: teal.
    static QColor textColour() { return QColor(0, 128, 128); }
    // Left edge of the top row's empty cell, where the health mark goes.
    static constexpr int HealthMarkLeft = 30;

    explicit SlotPicture(QWidget *parent = nullptr);

    // Fills the whole picture with the window background colour.
    void clear();
    // Draws the whole bitmap stretched into the rectangle (user units).
    // Pasting the bitmap the rectangle already shows changes no pixel: it is
    // skipped, and nothing is repainted for it.
    void paintImage(const QImage &image, int x, int y, int w, int h);
    // Prints text in DotumChe with its top left corner at (x, y). Glyphs of
    // a fallback face that rise above the font's ascent (Chinese at small
    // sizes) move the text down so that nothing of it shows above y.
    void printText(int x, int y, const QString &text, int pointSize);
    // The slot font size for the screen-to-window ratio q at which a name,
    // printed by printText, stays inside the name row of this picture at its
    // present size (see slotFontSizeFor).
    int nameFontSize(int q) const;
    // Height of the retained image in device pixels.
    int pixelsHigh() const { return pixelSize().height(); }

    // The pixel rectangle of a rectangle in user units. Edges are rounded on
    // their own, so rectangles that touch in units touch in pixels.
    QRect pixelRect(int x, int y, int w, int h) const;

    const QImage &picture() const { return picture_; }

    // Drawn over the retained image at every repaint, never into it: the
    // health mark in the top row's empty cell (an invalid colour for none)
    // and, while the values are old, a grey wash over the value rows with a
    // short word. The values under it stay as they were painted.
    void setHealthOverlay(const QColor &mark, const QString &oldValuesWord);
    const QColor &healthMark() const { return mark_; }
    const QString &oldValuesWord() const { return oldWord_; }
    // How many bitmaps were pasted since the picture was made.
    int imagesPainted() const { return imagesPainted_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The font of printed text, DotumChe, at a size in device pixels.
    static QFont textFont(int pixelSize);
    QSize pixelSize() const;
    // Device pixels per point of printed text: the screen's logical
    // resolution times its device pixel ratio.
    double pixelsPerPoint() const;
    int pixelX(int units) const;
    int pixelY(int units) const;
    // A widget resized while hidden gets its resize event only when shown, so
    // every drawing call first makes the image match the widget's size.
    bool matchWidgetSize();
    void updatePixels(const QRect &pixels);
    QColor background() const;
    // A rectangle in user units in the widget's own (logical) coordinates.
    QRectF logicalRect(int x, int y, int w, int h) const;
    void paintHealthOverlay(QPainter &p, const QRect &painted) const;

    // Forgets what was pasted into rectangles that overlap `pixels`.
    void forgetPasted(const QRect &pixels);

    QImage picture_;   // physical pixels
    // The bitmaps the image shows whole, each in its pixel rectangle, as
    // pasted and not drawn over since; a poll mostly repeats most of them.
    struct Pasted {
        QRect target;
        qint64 image;   // the bitmap's cache key
    };
    std::vector<Pasted> pasted_;
    int imagesPainted_ = 0;
    QColor mark_;
    QString oldWord_;
};

} // namespace orbalis
