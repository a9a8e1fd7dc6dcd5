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
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool MessageBoxReporter::askYesNo(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

} // namespace orbalis
