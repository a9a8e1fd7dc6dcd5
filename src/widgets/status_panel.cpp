#include "status_panel.h"

#include <QPainter>
#include <QResizeEvent>

namespace orbalis {

StatusPanel::StatusPanel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // It paints its own background, so a new text repaints the panel alone,
    // not the status bar and window beneath it as well.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusPanel::setPanelText(const QString &text)
{
    if (text == this->text())
        return;
    setText(text);
    setToolTip(text);
    setAccessibleDescription(text);
}

QSize StatusPanel::sizeHint() const
{
    return minimumSizeHint();
}

QSize StatusPanel::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    return QSize(minimumWidth(), fontMetrics().height() + m.top() + m.bottom() + 2 * margin());
}

QRect StatusPanel::textBox() const
{
    return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

bool StatusPanel::fitsWhole(const QString &text) const
{
    const auto w = glyphRuns_.width(font(), text);
    return w && *w <= textBox().width();
}

QString StatusPanel::shownText() const
{
    if (fitsWhole(text()))
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideRight, textBox().width());
}

void StatusPanel::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.fillRect(event->rect(), palette().brush(backgroundRole()));
    p.setPen(palette().color(foregroundRole()));
    p.setFont(font());
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    if (fitsWhole(text()) && glyphRuns_.draw(p, textBox(), flags, text()))
        return;
    p.drawText(textBox(), flags, shownText());
}

StatusPanelBox::StatusPanelBox(StatusPanel *panel, QWidget *parent) : QWidget(parent), panel_(panel)
{
    panel_->setParent(this);
    setSizePolicy(panel_->sizePolicy());
}

QSize StatusPanelBox::sizeHint() const
{
    return panel_->sizeHint();
}

QSize StatusPanelBox::minimumSizeHint() const
{
    return panel_->minimumSizeHint();
}

void StatusPanelBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    panel_->setGeometry(rect());
}

} // namespace orbalis
