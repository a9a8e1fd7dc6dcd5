#include "journal_filter_controls.h"

#include "journal_controls.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace orbalis {

namespace {

constexpr int SearchDelayMs = 300;

} // namespace

JournalFilterControls::JournalFilterControls(QHBoxLayout *row, QWidget *parent) : QObject(parent)
{
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    addTimeControls(QStringLiteral("From"), fromOn_, from_, today, row, parent);
    addTimeControls(QStringLiteral("To"), toOn_, to_, today.addDays(1), row, parent);
    search_ = labelled(QStringLiteral("Search"), new QLineEdit(parent), row, parent);
    search_->setClearButtonEnabled(true);
    export_ = new QPushButton(QStringLiteral("Export CSV..."), parent);
    export_->setAccessibleName(export_->text());
    connect(export_, &QPushButton::clicked, this, &JournalFilterControls::exportAsked);
    row->addWidget(export_);

    searchLater_.setSingleShot(true);
    searchLater_.setInterval(SearchDelayMs);
    connect(&searchLater_, &QTimer::timeout, this, &JournalFilterControls::filterChosen);
    connect(search_, &QLineEdit::textChanged, this, [this] { searchLater_.start(); });
    connect(search_, &QLineEdit::returnPressed, this, &JournalFilterControls::filterChosen);
}

void JournalFilterControls::addTimeControls(const QString &caption, QCheckBox *&on, QDateTimeEdit *&edit,
                                            const QDateTime &at, QHBoxLayout *row, QWidget *parent)
{
    on = new QCheckBox(caption, parent);
    on->setAccessibleName(caption);
    edit = new QDateTimeEdit(at, parent);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    edit->setCalendarPopup(true);
    edit->setAccessibleName(caption + QStringLiteral(" time"));
    edit->setEnabled(false);
    connect(on, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    connect(on, &QCheckBox::toggled, this, &JournalFilterControls::filterChosen);
    connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] { searchLater_.start(); });
    row->addWidget(on);
    row->addWidget(edit);
}

std::optional<qint64> JournalFilterControls::fromMs() const
{
    return fromOn_->isChecked() ? std::optional(from_->dateTime().toMSecsSinceEpoch()) : std::nullopt;
}

std::optional<qint64> JournalFilterControls::toMs() const
{
    return toOn_->isChecked() ? std::optional(to_->dateTime().toMSecsSinceEpoch()) : std::nullopt;
}

QString JournalFilterControls::searchText() const
{
    return search_->text().trimmed();
}

void JournalFilterControls::stopWaiting()
{
    searchLater_.stop();
}

} // namespace orbalis
