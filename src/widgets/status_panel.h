#pragma once

#include "glyph_run_text.h"

#include <QLabel>

namespace orbalis {

// One panel of a window's status bar: one line of text, cut with an ellipsis
// where it does not fit. The whole text stays the label's text, its tip and
// its accessible description. The cycles write a panel at every poll, so its
// size never follows its text (no relayout of the bar each time) and ASCII
// is drawn without shaping.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget *parent = nullptr);

    void setPanelText(const QString &text);
    // What the panel shows of its text at its present width.
    QString shownText() const;

    // One line high, as wide as the panel's minimum width: the bar's layout
    // gives the panels their widths.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool fitsWhole(const QString &text) const;
    QRect textBox() const;

    mutable GlyphRunText glyphRuns_;   // keeps the font's glyph table between paints
};

// What a status bar holds in the place of a panel: a box without a layout
// that gives the panel its whole area. A new text makes QLabel ask for a new
// geometry; asked of a parent with a layout, that lays out the whole window
// again at every poll, asked of this box it costs nothing.
class StatusPanelBox : public QWidget {
    Q_OBJECT
public:
    // Takes the panel as its child.
    explicit StatusPanelBox(StatusPanel *panel, QWidget *parent = nullptr);

    StatusPanel *panel() const { return panel_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    StatusPanel *panel_;
};

} // namespace orbalis
