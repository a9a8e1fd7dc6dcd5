#include "about_box.h"

#include "base/program_version.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orbalis {

AboutBox::AboutBox(const QString &programDir, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Orbalis"));
    auto *layout = new QVBoxLayout(this);

    const QString lines[] = {
        QStringLiteral("Orbalis"),
        QStringLiteral("Version %1").arg(programVersion()),
        QStringLiteral("Console for up to 16 PID process controllers on one RS-485 line (Modbus RTU)."),
        QStringLiteral("Program folder (settings, records, ports): %1").arg(QDir::toNativeSeparators(programDir)),
    };
    for (const QString &line : lines) {
        auto *label = new QLabel(line, this);
        // Read out whole: the folder is what a user comes here for.
        label->setAccessibleName(line);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    QFont title = layout->itemAt(0)->widget()->font();
    title.setPointSizeF(title.pointSizeF() * 1.5);
    title.setBold(true);
    layout->itemAt(0)->widget()->setFont(title);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

} // namespace orbalis
