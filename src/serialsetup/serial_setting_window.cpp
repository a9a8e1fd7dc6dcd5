#include "serial_setting_window.h"

#include "base/cycle_timer.h"
#include "base/error_trap.h"
#include "base/twips.h"
#include "core/line_rate.h"
#include "state/console.h"
#include "widgets/accessible_names.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace orbalis {

namespace {

constexpr int ClientWidth = 12735;
constexpr int ClientHeight = 6330;

// Combo boxes of the "Communication settings" area, in SerialField order.
struct ComboSpec {
    const char *label;
    QStringList items;
};

QStringList portItems()
{
    QStringList items;
    for (int n = 1; n <= 32; ++n)
        items << QStringLiteral("COM%1").arg(n);
    items << QStringLiteral("CLOSE");
    return items;
}

const std::array<ComboSpec, 5> &comboSpecs()
{
    static const std::array<ComboSpec, 5> specs{{
        {"ComPort", portItems()},
        {"Baud rate",
         {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
          QStringLiteral("38400"), QStringLiteral("57600")}},
        {"Stop bit", {QStringLiteral("1"), QStringLiteral("2")}},
        {"Data bit", {QStringLiteral("7"), QStringLiteral("8")}},
        {"Party bit",
         {QStringLiteral("Even"), QStringLiteral("Mark"), QStringLiteral("None"), QStringLiteral("Odd"),
          QStringLiteral("Space")}},
    }};
    return specs;
}

constexpr int ComboLeft = 1155;
constexpr int ComboTop = 315;
constexpr int ComboStep = 420;
constexpr int ComboWidth = 960;
constexpr int ComboHeight = 300;

struct Column {
    const char *title;
    int widthTwips;
};

constexpr std::array<Column, 2> PortColumns{{{"Name", 2500}, {"Number", 1500}}};
constexpr std::array<Column, 5> ScanColumns{
    {{"ID", 500}, {"Baud 19.2K", 1200}, {"Baud 9.6K", 1200}, {"Baud 4.8K", 1200}, {"Baud 2.4K", 1200}}};

template <size_t N>
void setColumns(QTreeWidget *list, const std::array<Column, N> &columns)
{
    QStringList titles;
    for (const Column &c : columns)
        titles << QString::fromLatin1(c.title);
    list->setColumnCount(int(N));
    list->setHeaderLabels(titles);
    for (size_t i = 0; i < N; ++i) {
        list->setColumnWidth(int(i), twipsToPixels(columns[i].widthTwips));
        list->headerItem()->setTextAlignment(int(i), Qt::AlignLeft | Qt::AlignVCenter);
    }
}

// A list view in report style: rows of texts, nothing to edit.
QTreeWidget *reportList(const QString &name, QWidget *parent, const QRect &geometry)
{
    auto *list = new QTreeWidget(parent);
    list->setGeometry(geometry);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(false);
    list->setAccessibleName(name);
    return list;
}

QPushButton *makeButton(const QString &caption, QWidget *parent, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setAccessibleName(caption);
    return button;
}

// A frame whose border runs through the middle of its caption, so that the
// controls placed just below the caption (the scan's buttons) stay inside it.
const char *const FrameStyle = "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
                               "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0px 2px; }";

QGroupBox *makeFrame(const QString &caption, QWidget *parent, const QRect &geometry)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setStyleSheet(QString::fromLatin1(FrameStyle));
    frame->setGeometry(geometry);
    frame->setAccessibleName(caption);
    return frame;
}

} // namespace

FM_SerialSetting::FM_SerialSetting(Console &console, StatusPanels &mainStatus, Reporter &reporter,
                                   std::unique_ptr<PortDeviceSource> devices, QWidget *parent)
    : QWidget(parent, Qt::Window),
      console_(console),
      reporter_(reporter),
      devices_(devices ? std::move(devices)
                       : std::make_unique<ResolverPortSource>(ComPortResolver(console.programDir))),
      timer1_(std::make_unique<QtCycleTimer>(ScanCycle::StartIntervalMs)),
      apply_(console, *this, mainStatus, reporter),
      scan_(console, *timer1_, apply_, *this, *this, mainStatus, reporter)
{
    setWindowTitle(caption());
    // The twip sizes were laid out for an 8-point caption font; at 9 points
    // "Communication settings" no longer fits its frame.
    setFont(QFont(QStringLiteral("新細明體"), 8));
    // The controls sit at fixed places; a larger window would only show empty space.
    setFixedSize(twipsRect(0, 0, ClientWidth, ClientHeight).size());
    buildControls();
    timer1_->onTick([this] { Timer1_Timer(); });
}

FM_SerialSetting::~FM_SerialSetting() = default;

void FM_SerialSetting::buildControls()
{
    // "Available ComPort": the ports of the machine.
    frames_[0] = makeFrame(QStringLiteral("Available ComPort"), this, twipsRect(105, 105, 3900, 6105));
    lists_[0] = reportList(QStringLiteral("Available ComPort"), frames_[0], twipsRect(105, 315, 3690, 5160));
    setColumns(lists_[0], PortColumns);
    connect(lists_[0], &QTreeWidget::itemClicked, this, [this] { ListView1_Click(0); });
    connect(lists_[0], &QTreeWidget::itemActivated, this, [this] { ListView1_Click(0); });
    buttons_[0] = makeButton(QStringLiteral("Search"), this, twipsRect(1890, 5670, 2010, 435));

    // "Communication settings": the five combo boxes and their labels.
    frames_[1] = makeFrame(QStringLiteral("Communication settings"), this, twipsRect(4095, 105, 2220, 6105));
    for (size_t k = 0; k < combos_.size(); ++k) {
        const ComboSpec &spec = comboSpecs()[k];
        const QString caption = QString::fromLatin1(spec.label);
        const int top = ComboTop + ComboStep * int(k);

        auto *combo = new QComboBox(frames_[1]);
        combo->setEditable(true);
        // What is typed stays typed: no completion, no new list items.
        combo->setCompleter(nullptr);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(spec.items);
        combo->setGeometry(twipsRect(ComboLeft, top, ComboWidth, ComboHeight));
        nameComboBox(combo, caption);
        const auto field = AllSerialFields[k];
        // A pick, never typing alone.
        connect(combo, &QComboBox::activated, this, [this, field] { Combo_Click(field); });
        combos_[k] = combo;

        auto *label = new QLabel(caption, frames_[1]);
        label->setGeometry(twipsRect(105, top, ComboLeft - 105 - 45, ComboHeight));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setBuddy(combo);
        label->setAccessibleName(caption);
        labels_[k] = label;
    }
    buttons_[1] = makeButton(QStringLiteral("Close"), frames_[1], twipsRect(105, 5040, 2010, 435));
    buttons_[2] = makeButton(QStringLiteral("Cancel"), frames_[1], twipsRect(105, 5565, 2010, 435));
    buttons_[1]->setEnabled(false);
    buttons_[2]->setEnabled(false);
    // Below the framing it paces: how soon after a reply the next request goes.
    lineRate_ = new QCheckBox(QStringLiteral("Poll at line rate"), frames_[1]);
    lineRate_->setGeometry(twipsRect(105, ComboTop + ComboStep * int(combos_.size()) + 105, 2010, 330));
    lineRate_->setAccessibleName(lineRate_->text());
    connect(lineRate_, &QCheckBox::clicked, this, [this](bool on) { lineRateClick(on); });

    // "Auto Scan": the scan for controllers.
    frames_[2] = makeFrame(QStringLiteral("Auto Scan"), this, twipsRect(6510, 105, 6105, 6105));
    options_[0] = new QRadioButton(QStringLiteral("Continuous"), frames_[2]);
    options_[0]->setGeometry(twipsRect(105, 315, 1590, 330));
    options_[0]->setChecked(true);
    options_[1] = new QRadioButton(QStringLiteral("改寫"), frames_[2]);
    options_[1]->setGeometry(twipsRect(1680, 315, 750, 330));
    for (QRadioButton *option : options_) {
        option->setEnabled(false);
        option->setAccessibleName(option->text());
    }
    buttons_[3] = makeButton(QStringLiteral("Start"), frames_[2], twipsRect(3360, 210, 1275, 435));
    buttons_[4] = makeButton(QStringLiteral("Stop"), frames_[2], twipsRect(4725, 210, 1275, 435));
    buttons_[4]->setEnabled(false);
    lists_[1] = reportList(QStringLiteral("Auto Scan"), frames_[2], twipsRect(105, 735, 5895, 4845));
    progress_ = new QProgressBar(frames_[2]);
    progress_->setGeometry(twipsRect(105, 5670, 5055, 330));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);   // the label beside it shows the percentage
    progress_->setAccessibleName(QStringLiteral("Scan progress"));
    percent_ = new QLabel(QStringLiteral("0 %"), frames_[2]);
    percent_->setGeometry(twipsRect(5145, 5670, 645, 330));
    percent_->setAlignment(Qt::AlignCenter);
    nameByRoleAndText(percent_, QStringLiteral("Scan progress"));

    for (int index = 0; index < int(buttons_.size()); ++index)
        connect(buttons_[size_t(index)], &QPushButton::clicked, this, [this, index] { Command1_Click(index); });
}

CycleTimer &FM_SerialSetting::Timer1() const
{
    return *timer1_;
}

void FM_SerialSetting::FM_SerialSetting_Load()
{
    ErrorTrap trap(reporter_, QStringLiteral("FM_SerialSetting_Load"));
    apply_.readSettingsRecord(trap);
    trap.step([&] { apply_.showSettings(); });
    trap.step([&] {
        if (console_.line.portOpen()) {
            setStartEnabled(true);
            setStopEnabled(true);
        } else {
            timer1_->setEnabled(false);
            setStartEnabled(false);
            setStopEnabled(false);
        }
    });
    trap.step([&] { Build_Scan_List(); });
    trap.step([&] { Read_ComPort_Control(); });
    lineRate_->setChecked(console_.lineRate.on);
}

void FM_SerialSetting::lineRateClick(bool on)
{
    ErrorTrap trap(reporter_, QStringLiteral("lineRateClick"));
    // In force for this run even when the file cannot keep it; the trap says so.
    console_.lineRate.on = on;
    trap.step([&] { LineRate::storeChoice(console_.programDir, console_.lineRate); });
}

void FM_SerialSetting::setComboControlBaud(const QString &text)
{
    setComboText(SerialField::Baud, text);
    apply_.followAppliedBaud(text);
}

void FM_SerialSetting::Combo_Click(SerialField field)
{
    ErrorTrap trap(reporter_, QStringLiteral("Combo_Click"));
    trap.step([&] { apply_.Combo_Click(field); });
}

void FM_SerialSetting::Command1_Click(int index)
{
    ErrorTrap trap(reporter_, QStringLiteral("Command1_Click"));
    trap.step([&] {
        switch (index) {
        case 0: Read_ComPort_Control(); break;
        case 1: apply_.commandClose(scan_.scanning()); break;
        case 2: apply_.commandCancel(); break;
        case 3: scan_.Start(); break;
        case 4: scan_.Stop(); break;
        default: break;
        }
    });
}

void FM_SerialSetting::ListView1_Click(int index)
{
    // Clicks in the scan table do nothing.
    if (index != 0)
        return;
    const auto selected = lists_[0]->selectedItems();
    if (selected.isEmpty())
        return;
    ErrorTrap trap(reporter_, QStringLiteral("ListView1_Click"));
    trap.step([&] {
        setComboText(SerialField::Port, selected.first()->text(1));
        apply_.Check_RS232_Setting_Changed();
    });
}

void FM_SerialSetting::Read_ComPort_Control()
{
    ErrorTrap trap(reporter_, QStringLiteral("Read_ComPort_Control"));
    QList<PortDevice> devices;
    trap.step([&] { devices = devices_->devices(); });
    QTreeWidget *list = lists_[0];
    trap.step([&] {
        list->clear();
        setColumns(list, PortColumns);
    });
    for (const PortDevice &device : std::as_const(devices)) {
        trap.step([&] {
            const auto row = portRow(device);
            if (!row)
                return;
            auto *item = new QTreeWidgetItem(list, QStringList{row->text, row->port});
            for (int column = 0; column < int(PortColumns.size()); ++column)
                item->setToolTip(column, row->details);
        });
    }
}

void FM_SerialSetting::Timer1_Timer()
{
    scan_.Timer1_Timer();
}

void FM_SerialSetting::closeEvent(QCloseEvent *event)
{
    scan_.windowClosing();
    unloaded_ = true;
    QWidget::closeEvent(event);
}

QString FM_SerialSetting::comboText(SerialField field) const
{
    return combo(field)->currentText();
}

void FM_SerialSetting::setComboText(SerialField field, const QString &text)
{
    combo(field)->setEditText(text);
}

void FM_SerialSetting::setCloseCancelEnabled(bool enabled)
{
    buttons_[1]->setEnabled(enabled);
    buttons_[2]->setEnabled(enabled);
}

void FM_SerialSetting::setStartEnabled(bool enabled)
{
    buttons_[3]->setEnabled(enabled);
}

void FM_SerialSetting::setStopEnabled(bool enabled)
{
    buttons_[4]->setEnabled(enabled);
}

void FM_SerialSetting::Build_Scan_List()
{
    QTreeWidget *list = lists_[1];
    list->clear();
    setColumns(list, ScanColumns);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(ScanCycle::IdsPerBlock);
    for (int id = 1; id <= ScanCycle::IdsPerBlock; ++id)
        rows << new QTreeWidgetItem(QStringList{QString::number(id)});
    list->addTopLevelItems(rows);
}

void FM_SerialSetting::setResult(int row, int subItem, const QString &text)
{
    QTreeWidgetItem *item = lists_[1]->topLevelItem(row - 1);
    if (!item)
        throw Error(SubscriptOutOfRange, QStringLiteral("scan row %1").arg(row));
    item->setText(subItem, text);
    // A controller found far down the table is brought into view.
    if (text != QLatin1String("---"))
        lists_[1]->scrollToItem(item);
}

void FM_SerialSetting::showProgress(int maximum, int value, const QString &percentText)
{
    progress_->setMaximum(maximum);
    progress_->setValue(value);
    // QProgressBar repaints only for a step of a chunk's width since its last
    // paint; the percent label overlaps it by a pixel and its repaint counts
    // as one, so one step per tick would never be drawn.
    progress_->update();
    percent_->setText(percentText);
}

} // namespace orbalis
