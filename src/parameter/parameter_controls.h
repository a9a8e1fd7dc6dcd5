#pragma once

#include "model/parameter_sink.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace orbalis {

// The parameter window's control arrays Label_Para, Text_Para and Combo_Para,
// indexed by register address (0..108 and 4096..4125), and their frames,
// built from the register map and the twip layout. They are what the
// decoders write (ParameterSink) and the encoder reads (ParameterSource).
class ParameterControls : public QObject, public ParameterSink, public ParameterSource {
    Q_OBJECT
public:
    // Left-column frames go onto `window`, the others onto the page of their
    // tab in `pages`.
    ParameterControls(QWidget *window, const std::array<QWidget *, 6> &pages);

    QLabel *Label_Para(int address) const;
    QLineEdit *Text_Para(int address) const;    // nullptr where the address has a combo box
    QComboBox *Combo_Para(int address) const;   // nullptr where the address has a text box
    QWidget *valueControl(int address) const;
    QGroupBox *frame(const QString &caption) const;

    // Page frames sit at twip positions relative to the tab control; a page
    // starts `pageOrigin` pixels inside it.
    void placeFrames(QPoint pageOrigin);

    // Every control back to the text it shows before the first read.
    void resetToInitialTexts();
    // The 109 parameter texts (address order) as a file stores them: trimmed.
    QStringList parameterTexts() const;
    // Shows the 109 texts of a checked parameter file: a text box takes the
    // text, an editable combo box too (selecting the item of that text when
    // there is one), a list-only combo box selects the item whose trimmed
    // text equals it.
    void loadTexts(const QStringList &texts);

    // Called with the address when Enter is pressed in a value control.
    std::function<void(int address)> onEnter;

    // ParameterSink
    void setText(int address, const QString &text) override;
    void selectItem(int address, int index) override;
    // ParameterSource: a combo box's text is the text it shows; its selected
    // item is the one whose text that is (an editable box with a typed text
    // that is no item has none).
    QString text(int address) const override;
    int selectedIndex(int address) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        QLabel *label = nullptr;
        QLineEdit *text = nullptr;
        QComboBox *combo = nullptr;
    };
    Entry *entryOf(int address);
    const Entry *entryOf(int address) const;
    void build(QWidget *window, const std::array<QWidget *, 6> &pages);

    std::array<Entry, 109> holding_{};
    std::array<Entry, 30> live_{};
    struct PlacedFrame {
        QGroupBox *box;
        bool onPage;
        QRect twips;
    };
    std::vector<PlacedFrame> frames_;
};

} // namespace orbalis
