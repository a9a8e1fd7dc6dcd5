#pragma once

#include "base/reporter.h"

class QWidget;

namespace orbalis {

// Beeps with the system beep and shows modal QMessageBoxes over the parent.
class MessageBoxReporter : public Reporter {
public:
    explicit MessageBoxReporter(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    void beep() override;
    void warn(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;

private:
    QWidget *parent_;
};

} // namespace orbalis
