#pragma once

#include "settings/settings_model.h"

#include <QWidget>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace orbalis {

struct Console;
class Reporter;
class SlotPainter;

// The panel settings window: binds each slot to a controller ID and a name.
//
// Lifetime: created on first use and kept. Closing it hides it; every later
// show() runs FM_TableSetting_Load again, so the fields are always fresh
// copies of the model. The model changes only when the window closes.
//
// Closing checks the fields first and refuses (the window stays open with
// every field as typed, nothing is changed or written) when an ID has no
// SlotId (below 0 or above 255), a text holds a character code page 950
// cannot hold, or the IDs or the names do not fit their settings record.
// Otherwise it takes the fields over, rebinds the slots, repaints every slot
// frame of the main panel and writes records 2 and 3.
//
// The main window's exit ends the program without closing this window, so
// unsaved edits are then lost by design.
class FM_TableSetting : public QWidget {
    Q_OBJECT
public:
    // The console, the painter and the reporter outlive the window. With a
    // parent the window stays a separate top-level window above it.
    FM_TableSetting(Console &console, SlotPainter &painter, Reporter &reporter,
                    QWidget *parent = nullptr);

    // Beeps once and fills the 32 fields from the model.
    void FM_TableSetting_Load();
    // The closing steps; false (and nothing changed) when the fields are refused.
    bool FM_TableSetting_Unload();

    QGroupBox *Frame1(int k) const { return frames_.at(k); }
    QLabel *Label1(int k) const { return idLabels_.at(k); }
    QComboBox *Combo_ID(int k) const { return idCombos_.at(k); }
    QLabel *Label2(int k) const { return nameLabels_.at(k); }
    QLineEdit *Text_Name(int k) const { return nameEdits_.at(k); }

    static QString caption() { return QStringLiteral("Panel Settings"); }

    // The window's size for a page of controls on a screen with the given
    // available size: the whole page where it fits; otherwise as much as the
    // screen holds, with room for the scroll bar that the cut direction needs.
    static QSize sizeOnScreen(QSize page, QSize available, int scrollBarExtent);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls(QWidget *page);
    void fitToScreen();

    Console &console_;
    SlotPainter &painter_;
    Reporter &reporter_;
    QScrollArea *scroll_ = nullptr;

    std::array<QGroupBox *, SlotCount> frames_{};
    std::array<QLabel *, SlotCount> idLabels_{};
    std::array<QComboBox *, SlotCount> idCombos_{};
    std::array<QLabel *, SlotCount> nameLabels_{};
    std::array<QLineEdit *, SlotCount> nameEdits_{};
};

} // namespace orbalis
