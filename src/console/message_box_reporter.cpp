#include "message_box_reporter.h"

#include <QApplication>
#include <QMessageBox>

namespace orbalis {

void MessageBoxReporter::beep()
{
    QApplication::beep();
}

void MessageBoxReporter::warn(const QString &title, const QString &text)
{
    warnings_.removeIf([](const QPointer<QMessageBox> &box) { return !box || !box->isVisible(); });
    for (const QPointer<QMessageBox> &box : warnings_) {
        if (box->windowTitle() == title && box->text() == text) {
            box->raise();
            return;
        }
    }
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to its window for the user, but not waited for: exec() would run
    // a nested event loop inside the reporting tick and hold up every cycle.
    box->open();
    warnings_.append(box);
}

bool MessageBoxReporter::askYesNo(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

} // namespace orbalis
