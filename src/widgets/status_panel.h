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

} // namespace orbalis
