#pragma once

#include <QString>

namespace orbalis {

// Where decoded register texts go: the parameter window's controls, or the
// main window's hidden live-value boxes. Indexed by register address.
class ParameterSink {
public:
    virtual ~ParameterSink() = default;
    virtual void setText(int address, const QString &text) = 0;
    // Selects item `index` (from 0) of the combo box of `address`.
    virtual void selectItem(int address, int index) = 0;
};

// What the encoder reads: the parameter window's controls.
class ParameterSource {
public:
    virtual ~ParameterSource() = default;
    virtual QString text(int address) const = 0;
    // Position of the selected item, -1 when none is selected.
    virtual int selectedIndex(int address) const = 0;
};

// The target rule of the display routines: addresses below 4096 go to the
// parameter window only; live addresses go to the main window's boxes and,
// when the polled slot is the parameter window's slot, to that window too.
struct DisplayTargets {
    ParameterSink *parameterWindow = nullptr;  // nullptr while no window is open
    ParameterSink *liveValues = nullptr;
    int Poll_Slot = 0;
    int Para_Slot = 16;
};

} // namespace orbalis
