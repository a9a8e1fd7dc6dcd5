#include "shelve_dialog.h"

#include "alarm_tracker.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orbalis {

ShelveDialog::ShelveDialog(const QString &alarms, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Shelve"));
    setAccessibleName(windowTitle());
    auto *layout = new QVBoxLayout(this);
    auto *what = new QLabel(alarms, this);
    what->setWordWrap(true);
    what->setAccessibleName(QStringLiteral("Alarms to shelve"));
    layout->addWidget(what);

    auto *form = new QFormLayout;
    minutes_ = new QSpinBox(this);
    minutes_->setRange(int(AlarmTracker::ShortestShelving.count()), int(AlarmTracker::LongestShelving.count()));
    minutes_->setValue(int(AlarmTracker::DefaultShelving.count()));
    minutes_->setSuffix(QStringLiteral(" min"));
    minutes_->setAccessibleName(QStringLiteral("Shelve for"));
    form->addRow(QStringLiteral("Shelve for"), minutes_);
    comment_ = new QLineEdit(this);
    comment_->setAccessibleName(QStringLiteral("Comment"));
    form->addRow(QStringLiteral("Comment"), comment_);
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Shelve"));
    for (QAbstractButton *b : buttons->buttons())
        b->setAccessibleName(b->text().remove(u'&'));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::chrono::minutes ShelveDialog::duration() const
{
    return std::chrono::minutes(minutes_->value());
}

QString ShelveDialog::comment() const
{
    return comment_->text().trimmed();
}

} // namespace orbalis
