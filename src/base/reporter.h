#pragma once

#include <QString>

namespace orbalis {

// What the system tells the user outside the status bars: beeps and modal
// message boxes. The window implementation shows QMessageBox; tests capture.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void beep() = 0;
    // A modal box with the exclamation icon and an OK button.
    virtual void warn(const QString &title, const QString &text) = 0;
    // A modal box with Yes and No buttons and no icon; true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
};

} // namespace orbalis
