#pragma once

#include "widgets/glyph_run_text.h"

#include <QStyledItemDelegate>

namespace orbalis {

// Paints a cell as one line of text, clipped to the cell, with the colour
// square of its decoration and the colour and font of its roles; none of
// the style's per-cell text layout, and ASCII drawn without shaping. For
// tables that take rows many times a second while the line is busy.
class PlainTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    mutable GlyphRunText glyphRuns_;   // keeps each font's glyph table between cells
};

} // namespace orbalis
