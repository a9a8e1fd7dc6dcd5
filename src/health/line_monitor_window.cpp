#include "line_monitor_window.h"

#include "counters_model.h"
#include "core/line_counters.h"
#include "plain_text_delegate.h"
#include "traffic_model.h"
#include "core/traffic_ring.h"
#include "core/traffic_text.h"

#include "base/error.h"
#include "base/error_trap.h"
#include "base/twips.h"
#include "base/whole_file_save.h"
#include "state/console.h"
#include "widgets/accessible_names.h"
#include "widgets/fixed_row_table.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace orbalis {

namespace {

// Sizes in twips. The window's pixels are most of what it costs in memory
// while open, so it starts no larger than this; the counters' last columns
// are a scroll or a resize away.
constexpr int WindowWidth = 13500;
constexpr int WindowHeight = 9000;

// Column widths of the two tables, in twips, by column.
constexpr int CountersWidths[CountersModel::ColumnCount] = {600, 600, 1300, 1000, 900, 900, 1100, 1100,
                                                             1200, 1100, 1100, 1100, 1100, 1200, 1200, 1500};
constexpr int TrafficWidths[TrafficModel::ColumnCount] = {1500, 600, 600, 1400, 1100, 2000, 6000};

QString suggestedFileName(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("Line traffic ")
                                 + QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd HHmmss"))
                                 + QStringLiteral(".txt"));
}

QString askWithDialog(QWidget *parent, const QString &suggested)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Traffic"), suggested,
                                        QStringLiteral("Text files (*.txt);;All files (*)"));
}

QTableView *tableView(QAbstractItemModel *model, const QString &name, const int *widths, int columns,
                      QWidget *parent)
{
    QTableView *view = fixedRowTable(model, name, widths, columns, parent);
    view->setItemDelegate(new PlainTextDelegate(view));
    return view;
}

QPushButton *button(const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    return b;
}

} // namespace

LineMonitorWindow::LineMonitorWindow(const Console &console, LineCounters &counters, TrafficRing &ring,
                                     Reporter &reporter, QWidget *parent)
    : QWidget(parent, Qt::Window),
      console_(console),
      lineCounters_(counters),
      reporter_(reporter),
      counters_(new CountersModel(console, counters, this)),
      traffic_(new TrafficModel(ring, this)),
      askFileName_(&askWithDialog)
{
    setWindowTitle(caption());
    setAccessibleName(caption());
    build();
    resize(twipsToPixels(WindowWidth), twipsToPixels(WindowHeight));
    timer_.setInterval(RefreshMs);
    connect(&timer_, &QTimer::timeout, this, &LineMonitorWindow::refresh);
}

LineMonitorWindow::~LineMonitorWindow() = default;

void LineMonitorWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    // Its text begins with what it is ("MQTT: "), so it is heard by its text.
    publisher_ = new QLabel(this);
    publisher_->setVisible(false);
    layout->addWidget(publisher_);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    layout->addWidget(splitter);

    auto *countersBox = new QGroupBox(QStringLiteral("Counters"), splitter);
    countersBox->setAccessibleName(countersBox->title());
    auto *countersLayout = new QVBoxLayout(countersBox);
    countersView_ = tableView(counters_, QStringLiteral("Counters"), CountersWidths, CountersModel::ColumnCount,
                              countersBox);
    countersLayout->addWidget(countersView_);
    auto *countersButtons = new QHBoxLayout;
    reset_ = button(QStringLiteral("Reset"), countersBox);
    countersButtons->addWidget(reset_);
    countersButtons->addStretch(1);
    countersLayout->addLayout(countersButtons);

    auto *trafficBox = new QGroupBox(QStringLiteral("Traffic"), splitter);
    trafficBox->setAccessibleName(trafficBox->title());
    auto *trafficLayout = new QVBoxLayout(trafficBox);
    auto *trafficButtons = new QHBoxLayout;
    pause_ = button(QStringLiteral("Pause"), trafficBox);
    pause_->setCheckable(true);
    clear_ = button(QStringLiteral("Clear"), trafficBox);
    auto *filterLabel = new QLabel(QStringLiteral("Controller"), trafficBox);
    filter_ = new QComboBox(trafficBox);
    nameComboBox(filter_, filterLabel->text());
    filterLabel->setBuddy(filter_);
    save_ = button(QStringLiteral("Save..."), trafficBox);
    for (QWidget *w : std::initializer_list<QWidget *>{pause_, clear_, filterLabel, filter_})
        trafficButtons->addWidget(w);
    trafficButtons->addStretch(1);
    trafficButtons->addWidget(save_);
    trafficLayout->addLayout(trafficButtons);
    trafficView_ = tableView(traffic_, QStringLiteral("Traffic"), TrafficWidths, TrafficModel::ColumnCount,
                             trafficBox);
    // A log of frames reads as lines, like a trace: banded rows instead of a
    // grid, whose lines cost more to draw than the rows' text.
    trafficView_->setShowGrid(false);
    trafficView_->setAlternatingRowColors(true);
    trafficLayout->addWidget(trafficView_);
    splitter->setStretchFactor(1, 2);

    fillFilter();
    connect(reset_, &QPushButton::clicked, this, [this] {
        lineCounters_.reset();
        counters_->refresh();
    });
    connect(pause_, &QPushButton::toggled, this, [this](bool on) {
        traffic_->setPaused(on);
        if (!on)
            trafficView_->scrollToBottom();
    });
    connect(clear_, &QPushButton::clicked, this, [this] { traffic_->clear(); });
    connect(filter_, &QComboBox::activated, this, [this](int index) {
        traffic_->setFilter(filter_->itemData(index).toInt());
        trafficView_->scrollToBottom();
    });
    connect(save_, &QPushButton::clicked, this, &LineMonitorWindow::saveTraffic);
    // Following the newest frame, unless the user scrolled up to read.
    connect(traffic_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = trafficView_->verticalScrollBar();
        atEnd_ = bar->value() >= bar->maximum();
    });
    connect(traffic_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (atEnd_)
            trafficView_->scrollToBottom();
    });
}

void LineMonitorWindow::fillFilter()
{
    QList<int> ids;
    for (std::uint8_t id : console_.slots.SlotId)
        if (id != 0 && !ids.contains(id))
            ids << id;
    std::sort(ids.begin(), ids.end());
    const int chosen = traffic_->filter();
    // A controller filtered on stays in the list after it is unbound.
    if (chosen != TrafficModel::AllControllers && !ids.contains(chosen)) {
        ids << chosen;
        std::sort(ids.begin(), ids.end());
    }
    if (ids == filterIds_ && filter_->count() > 0)
        return;
    filterIds_ = ids;
    filter_->clear();
    filter_->addItem(QStringLiteral("All controllers"), TrafficModel::AllControllers);
    for (int id : ids)
        filter_->addItem(QStringLiteral("ID %1").arg(id), id);
    filter_->setCurrentIndex(std::max(0, filter_->findData(chosen)));
}

void LineMonitorWindow::setPublisherState(std::function<QString()> state)
{
    publisherState_ = std::move(state);
    publisher_->setVisible(bool(publisherState_));
    if (publisherState_)
        publisher_->setText(QStringLiteral("MQTT: ") + publisherState_());
}

void LineMonitorWindow::refresh()
{
    traffic_->refresh();
    counters_->refresh();
    fillFilter();
    if (publisherState_)
        publisher_->setText(QStringLiteral("MQTT: ") + publisherState_());
}

void LineMonitorWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    trafficView_->scrollToBottom();
    timer_.start();
}

void LineMonitorWindow::hideEvent(QHideEvent *event)
{
    timer_.stop();
    QWidget::hideEvent(event);
}

void LineMonitorWindow::saveTraffic()
{
    const QString name = askFileName_(this, suggestedFileName(console_.programDir));
    if (name.isEmpty())
        return;
    saveTrafficTo(name);
}

bool LineMonitorWindow::saveTrafficTo(const QString &path)
{
    ErrorTrap trap(reporter_, QStringLiteral("saveTraffic"));
    return trap.step([&] {
        // Following the line, the rows are brought up to the ring first, so
        // every row saved still has its frame.
        traffic_->refresh();
        QByteArray text;
        const int rows = traffic_->rowCount();
        text += QStringLiteral("Orbalis line traffic, %1 frames%2, saved %3\n")
                    .arg(rows)
                    .arg(traffic_->filter() == TrafficModel::AllControllers
                             ? QString()
                             : QStringLiteral(" of controller ID %1").arg(traffic_->filter()))
                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .toUtf8();
        for (int r = 0; r < rows; ++r)
            if (const TrafficFrame *frame = traffic_->frame(r))
                text += trafficLine(*frame).toUtf8() + '\n';
        try {
            saveWholeFile(path, text);
        } catch (const Error &e) {
            throw withContext(e, path);
        }
    });
}

} // namespace orbalis
