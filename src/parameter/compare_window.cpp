#include "compare_window.h"

#include "file_dialogs.h"
#include "list_window.h"

#include "base/error.h"
#include "base/reporter.h"
#include "base/whole_file_save.h"
#include "core/parameter_diff.h"

#include <QFileInfo>
#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace orbalis {

namespace {

const QString ReportFilter = QStringLiteral("Text files|*.txt");

} // namespace

FM_Compare::FM_Compare(Reporter &reporter, FileDialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window), reporter_(reporter), dialogs_(&dialogs)
{
    build();
}

void FM_Compare::build()
{
    const ListWindowParts parts = buildListWindow(
        this, {.caption = caption(),
               .widthTwips = 9000,
               .heightTwips = 6000,
               .headingName = QStringLiteral("Compare"),
               .listName = QStringLiteral("Differences"),
               .columns = {"Mnemonic", "Label", "Controller", "File"},
               .columnWidths = {1500, 2700, 2100, 2100},
               .lineNames = {QStringLiteral("Note"), QStringLiteral("Result")},
               .buttons = {"Write differences", "Save report...", "Close"}});
    headline_ = parts.heading;
    list_ = parts.list;
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    note_ = parts.lines[0];
    result_ = parts.lines[1];
    std::copy(parts.buttons.begin(), parts.buttons.end(), buttons_.begin());

    connect(buttons_[0], &QPushButton::clicked, this, [this] {
        if (onWriteDifferences)
            onWriteDifferences();
    });
    connect(buttons_[1], &QPushButton::clicked, this, &FM_Compare::saveReport);
    connect(buttons_[2], &QPushButton::clicked, this, &QWidget::close);
}

void FM_Compare::showComparison(Comparison comparison)
{
    comparison_ = std::move(comparison);
    writing_ = false;
    written_ = false;
    headline_->setText(comparisonHeadline(comparison_));
    note_->setText(unwrittenNote(comparison_));
    note_->setVisible(!note_->text().isEmpty());
    result_->clear();
    result_->hide();
    list_->clear();
    for (const ParameterDifference &d : comparison_.differences) {
        auto *item = new QTreeWidgetItem(list_, {parameterMnemonic(d.address), parameterLabel(d.address),
                                                 d.controllerText, d.wantedText});
        if (!d.writable)
            for (int c = 0; c < list_->columnCount(); ++c)
                item->setToolTip(c, QStringLiteral("Compared, but never written by a download"));
    }
    list_->setVisible(!comparison_.differences.empty());
    updateButtons();
    show();
    raise();
    activateWindow();
}

void FM_Compare::setWriting(bool writing)
{
    if (writing)
        written_ = true;
    writing_ = writing;
    updateButtons();
}

void FM_Compare::showResult(const QString &text)
{
    result_->setText(text);
    result_->setVisible(!text.isEmpty());
}

void FM_Compare::updateButtons()
{
    const bool anyWritable = std::any_of(comparison_.differences.begin(), comparison_.differences.end(),
                                         [](const ParameterDifference &d) { return d.writable; });
    buttons_[0]->setEnabled(anyWritable && !writing_ && !written_);
    buttons_[1]->setEnabled(true);
}

void FM_Compare::saveReport()
{
    const std::optional<QString> chosen = dialogs_->saveFileName(QStringLiteral("Save report"), ReportFilter);
    if (!chosen)
        return;
    const QString name = *chosen;
    if (QFileInfo::exists(name)
        && !reporter_.askYesNo(QStringLiteral("Warning!"), name + QStringLiteral(" Exit ,Over Write ?")))
        return;
    try {
        saveWholeFile(name, compareReportText(comparison_).toUtf8());
    } catch (...) {
        const Error e = currentExceptionAsError();
        const QString cause = e.detail().isEmpty() ? errorDescription(e.number()) : e.detail();
        reporter_.beep();
        reporter_.warn(QStringLiteral("Save report"),
                       QStringLiteral("%1\nCannot write: %2.\n%3")
                           .arg(name, cause,
                                QFileInfo::exists(name) ? QStringLiteral("Nothing was saved: the file is as it was.")
                                                        : QStringLiteral("Nothing was saved.")));
    }
}

} // namespace orbalis
