#pragma once

#include "base/reporter.h"

#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

namespace orbalis {

// Beeps with the system beep and shows QMessageBoxes over the parent. A
// warning's box is shown without waiting for it to be closed, so a cycle that
// reports goes on at once; while a box with the same title and text is open,
// the same warning shows no second box.
class MessageBoxReporter : public Reporter {
public:
    explicit MessageBoxReporter(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    void beep() override;
    void warn(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;

private:
    QWidget *parent_;
    // Warnings shown; each box deletes itself when closed.
    QList<QPointer<QMessageBox>> warnings_;
};

} // namespace orbalis
