#pragma once

#include <QFont>
#include <QRawFont>
#include <QRect>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QPainter;

namespace orbalis {

// Draws one line of printable ASCII as a glyph run: each character's glyph
// and advance come straight from the font, with no shaping and no line
// layout. The line monitor's cells and the status panels are ASCII (times,
// IDs, words, hex bytes) and change many times a second while the line is
// busy, so shaping them anew was most of what drawing them cost. Text the
// font cannot show this way (other scripts, a missing glyph) is left to
// QPainter::drawText.
class GlyphRunText {
public:
    // Draws the text in the rectangle, cut at its edges, aligned left, right
    // or centred, and centred vertically, as flags say. False, drawing nothing, when
    // the text is not for this path.
    bool draw(QPainter &painter, const QRect &rect, int flags, const QString &text);
    // The text's width in the font, when this path can draw it.
    std::optional<qreal> width(const QFont &font, const QString &text);

private:
    static constexpr char16_t First = 0x20, Last = 0x7e;
    struct Glyphs {
        QFont font;
        QRawFont raw;
        std::array<quint32, Last - First + 1> index{};   // 0: none in the font
        std::array<qreal, Last - First + 1> advance{};
    };
    const Glyphs &glyphsOf(const QFont &font);

    std::vector<Glyphs> fonts_;   // the few fonts a table uses
    QList<quint32> indexes_;      // reused between cells
    QList<QPointF> positions_;
};

} // namespace orbalis
