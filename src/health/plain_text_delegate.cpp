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
    const QString shown = index.data(Qt::DisplayRole).toString();
    if (!glyphRuns_.draw(*painter, text, flags, shown))
        painter->drawText(text, flags, shown);
    painter->restore();
}

} // namespace orbalis
