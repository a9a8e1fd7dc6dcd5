#include "copy_window.h"

#include "list_window.h"

#include "state/console.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <set>

namespace orbalis {

namespace {

constexpr int SlotRole = Qt::UserRole;

} // namespace

FM_CopyTo::FM_CopyTo(const Console &console, QWidget *parent) : QWidget(parent, Qt::Window), console_(console)
{
    build();
}

void FM_CopyTo::build()
{
    const ListWindowParts parts = buildListWindow(
        this, {.caption = caption(),
               .widthTwips = 9000,
               .heightTwips = 5000,
               .headingName = QStringLiteral("Copy"),
               .listName = QStringLiteral("Controllers"),
               .columns = {"Slot", "ID", "Name", "Result"},
               .columnWidths = {900, 700, 1800, 5000},
               .lineNames = {QStringLiteral("Status")},
               .buttons = {"Copy", "Close"}});
    heading_ = parts.heading;
    list_ = parts.list;
    status_ = parts.lines[0];
    std::copy(parts.buttons.begin(), parts.buttons.end(), buttons_.begin());
    connect(buttons_[0], &QPushButton::clicked, this, [this] {
        if (onCopy)
            onCopy(ticked());
    });
    connect(buttons_[1], &QPushButton::clicked, this, &QWidget::close);
}

void FM_CopyTo::load(int fromSlot)
{
    list_->clear();
    status_->clear();
    const auto &ids = console_.slots.SlotId;
    const int fromId = isSlot(fromSlot) ? ids[size_t(fromSlot)] : 0;
    heading_->setText(QStringLiteral("Copy what the parameter window shows for controller %1 (slot %2) into the "
                                     "controllers ticked. Each is backed up first; only what differs is "
                                     "written (never BAUD, ID or OUTL), then read back.")
                          .arg(fromId)
                          .arg(fromSlot + 1));
    std::set<int> listed{fromId};
    for (int slot = 0; slot < SlotCount; ++slot) {
        const int id = ids[size_t(slot)];
        if (id == 0 || slot == fromSlot || !listed.insert(id).second)
            continue;
        auto *item = new QTreeWidgetItem(list_, {QString::number(slot + 1), QString::number(id),
                                                 console_.settings.panel.NameText.at(size_t(slot)).trimmed(),
                                                 QString()});
        item->setData(0, SlotRole, slot);
        item->setCheckState(0, Qt::Unchecked);
    }
    if (list_->topLevelItemCount() == 0)
        setStatusText(QStringLiteral("No other controller is bound to a slot."));
    setCopying(false);
}

QTreeWidgetItem *FM_CopyTo::rowOf(int slot) const
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list_->topLevelItem(i);
        if (item->data(0, SlotRole).toInt() == slot)
            return item;
    }
    return nullptr;
}

std::vector<DownloadTarget> FM_CopyTo::ticked() const
{
    std::vector<DownloadTarget> targets;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list_->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            targets.push_back({item->data(0, SlotRole).toInt(), std::uint8_t(item->text(1).toInt())});
    }
    return targets;
}

void FM_CopyTo::setCopying(bool copying)
{
    buttons_[0]->setEnabled(!copying && list_->topLevelItemCount() > 0);
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list_->topLevelItem(i);
        item->setFlags(copying ? item->flags() & ~Qt::ItemIsUserCheckable : item->flags() | Qt::ItemIsUserCheckable);
        if (copying && item->checkState(0) == Qt::Checked)
            item->setText(3, QStringLiteral("waiting"));
    }
}

void FM_CopyTo::controllerDone(const DownloadResult &result)
{
    if (QTreeWidgetItem *item = rowOf(result.slot))
        item->setText(3, downloadSummaryText(result));
}

void FM_CopyTo::setStatusText(const QString &text)
{
    status_->setText(text);
}

} // namespace orbalis
