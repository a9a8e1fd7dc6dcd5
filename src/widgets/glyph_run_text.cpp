#include "glyph_run_text.h"

#include <QGlyphRun>
#include <QPainter>

namespace orbalis {

const GlyphRunText::Glyphs &GlyphRunText::glyphsOf(const QFont &font)
{
    for (const Glyphs &g : fonts_)
        if (g.font == font)
            return g;
    Glyphs g;
    g.font = font;
    g.raw = QRawFont::fromFont(font);
    if (g.raw.isValid()) {
        QString chars;
        for (char16_t c = First; c <= Last; ++c)
            chars += QChar(c);
        const QList<quint32> indexes = g.raw.glyphIndexesForString(chars);
        const QList<QPointF> advances = g.raw.advancesForGlyphIndexes(indexes);
        for (qsizetype i = 0; i < indexes.size() && i < qsizetype(g.index.size()); ++i) {
            g.index[std::size_t(i)] = indexes[i];
            g.advance[std::size_t(i)] = advances.value(i).x();
        }
    }
    fonts_.push_back(std::move(g));
    return fonts_.back();
}

std::optional<qreal> GlyphRunText::width(const QFont &font, const QString &text)
{
    const Glyphs &g = glyphsOf(font);
    if (!g.raw.isValid())
        return std::nullopt;
    qreal x = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < First || u > Last || g.index[u - First] == 0)
            return std::nullopt;
        x += g.advance[u - First];
    }
    return x;
}

bool GlyphRunText::draw(QPainter &painter, const QRect &rect, int flags, const QString &text)
{
    if (text.isEmpty() || rect.isEmpty())
        return true;
    const Glyphs &g = glyphsOf(painter.font());
    if (!g.raw.isValid())
        return false;
    indexes_.clear();
    positions_.clear();
    qreal x = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < First || u > Last || g.index[u - First] == 0)
            return false;
        // Glyphs wholly past the cell's right edge are not drawn at all.
        if (x < rect.width() || (flags & (Qt::AlignRight | Qt::AlignHCenter))) {
            indexes_.append(g.index[u - First]);
            positions_.append(QPointF(x, 0));
        }
        x += g.advance[u - First];
    }
    qreal left = rect.left();
    if (flags & Qt::AlignRight)
        left = rect.right() + 1 - x;
    else if (flags & Qt::AlignHCenter)
        left = rect.left() + (rect.width() - x) / 2;
    const qreal lineHeight = g.raw.ascent() + g.raw.descent();
    const qreal baseline = rect.top() + (rect.height() - lineHeight) / 2 + g.raw.ascent();

    QGlyphRun run;
    run.setRawFont(g.raw);
    run.setGlyphIndexes(indexes_);
    run.setPositions(positions_);
    const bool cut = left < rect.left() || left + x > rect.right() + 1;
    if (cut) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    painter.drawGlyphRun(QPointF(std::round(left), std::round(baseline)), run);
    if (cut)
        painter.restore();
    return true;
}

} // namespace orbalis
