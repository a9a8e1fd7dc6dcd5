#pragma once

#include <QString>

namespace orbalis {

// What the system tells the user outside the status bars: beeps and message
// boxes. The window implementation shows QMessageBox; tests capture.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void beep() = 0;
    // A box with the exclamation icon and an OK button. It returns at once,
    // without waiting for the box to be closed, so a cycle that reports goes
    // on; a box with the same title and text that is still open is not shown
    // a second time.
    virtual void warn(const QString &title, const QString &text) = 0;
    // A modal box with Yes and No buttons and no icon; true for Yes. It waits
    // for the answer.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
};

} // namespace orbalis
