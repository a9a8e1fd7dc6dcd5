#pragma once

#include "core/download_result.h"
#include "core/write_cycle.h"

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbalis {

struct Console;

// The window "Copy to": the bound slots other than the parameter window's,
// one row per controller, to tick the controllers the window's values are
// copied into. "Copy" hands the ticked ones to the parameter window, which
// backs up, writes what differs and verifies each in turn; each row then
// shows what was done to its controller. "Close" closes.
class FM_CopyTo : public QWidget {
    Q_OBJECT
public:
    // The console outlives the window.
    explicit FM_CopyTo(const Console &console, QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("Copy to"); }

    // Lists the controllers to copy to from the slot `fromSlot`: every bound
    // slot but that one and the slots bound to its controller; a controller
    // bound to several slots is listed once, at its first slot.
    void load(int fromSlot);

    // "Copy" was pressed with these controllers ticked.
    std::function<void(const std::vector<DownloadTarget> &targets)> onCopy;
    // A copy runs (false: it ended or was refused).
    void setCopying(bool copying);
    // What was done to one controller.
    void controllerDone(const DownloadResult &result);
    void setStatusText(const QString &text);

    QTreeWidget *controllers() const { return list_; }
    QPushButton *button(int index) const { return buttons_.at(size_t(index)); }   // 0 "Copy", 1 "Close"
    QLabel *statusLine() const { return status_; }
    // The row of a slot; nullptr when it is not listed.
    QTreeWidgetItem *rowOf(int slot) const;
    std::vector<DownloadTarget> ticked() const;

private:
    void build();

    const Console &console_;
    QLabel *heading_ = nullptr;
    QTreeWidget *list_ = nullptr;
    QLabel *status_ = nullptr;
    std::array<QPushButton *, 2> buttons_{};
};

} // namespace orbalis
