#include "plain_text_delegate.h"

#include <QBrush>
#include <QPainter>

namespace orbalis {

void PlainTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.highlight());
    QRect text = option.rect.adjusted(3, 0, -3, 0);

    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.typeId() == QMetaType::QColor) {
        const int side = text.height() * 3 / 5;
        const QRect square(text.left(), text.center().y() - side / 2, side, side);
        painter->fillRect(square, decoration.value<QColor>());
        text.setLeft(square.right() + 5);
    }

    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (selected)
        painter->setPen(option.palette.color(QPalette::HighlightedText));
    else if (foreground.canConvert<QBrush>())
        painter->setPen(foreground.value<QBrush>().color());
    else
        painter->setPen(option.palette.color(QPalette::Text));
    const QVariant font = index.data(Qt::FontRole);
    painter->setFont(font.isValid() ? font.value<QFont>() : option.font);
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const int flags = (alignment.isValid() ? alignment.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter))
        | Qt::TextSingleLine;
    QString shown = index.data(Qt::DisplayRole).toString();
    // A frame's hex runs far past its cell; in a fixed-pitch font what cannot
    // show is cut before drawing, so it is never shaped at every repaint.
    if (shown.size() > 32 && (flags & Qt::AlignLeft) && painter->fontInfo().fixedPitch()) {
        const int advance = painter->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        if (advance > 0)
            shown.truncate(text.width() / advance + 1);
    }
    painter->drawText(text, flags, shown);
    painter->restore();
}

} // namespace orbalis
