#include "table_setting_window.h"

#include "panel_entry_check.h"

#include "state/console.h"
#include "base/error_trap.h"
#include "base/twips.h"
#include "state/slot_painter.h"
#include "settings/settings_store.h"
#include "widgets/accessible_names.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace orbalis {

namespace {

constexpr int ClientWidth = 11040;
constexpr int ClientHeight = 4740;
constexpr int FrameLeft = 105;
constexpr int FrameTop = 105;
constexpr int FrameStepX = 2730;
constexpr int FrameStepY = 1155;
constexpr int FrameWidth = 2640;
constexpr int FrameHeight = 1065;
constexpr int Columns = 4;

const QColor CaptionColour(33, 132, 169);

QStringList idItems()
{
    QStringList items{QStringLiteral("---")};
    for (int id = 1; id <= 255; ++id)
        items.append(QStringLiteral("%1").arg(id, 3, 10, QLatin1Char('0')));
    return items;
}

QLabel *centredLabel(const QString &text, QWidget *parent, const QRect &twips)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(twips);
    return label;
}

} // namespace

FM_TableSetting::FM_TableSetting(Console &console, SlotPainter &painter, Reporter &reporter,
                                 QWidget *parent)
    : QWidget(parent, Qt::Window), console_(console), painter_(painter), reporter_(reporter)
{
    setWindowTitle(caption());
    setFont(QFont(QStringLiteral("新細明體"), 9));
    // The controls sit at fixed places on a page of the design size. A larger
    // window would only show empty space; on a screen too small for the page
    // (a high scale factor on a small screen) the page scrolls rather than
    // losing its right-hand meters past the screen's edge.
    auto *page = new QWidget;
    page->setFixedSize(twipsRect(0, 0, ClientWidth, ClientHeight).size());
    buildControls(page);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);   // the first field keeps the focus
    scroll_->setWidget(page);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    setMaximumSize(page->size());
    resize(page->size());
}

QSize FM_TableSetting::sizeOnScreen(QSize page, QSize available, int scrollBarExtent)
{
    QSize wanted = page;
    if (page.width() > available.width())
        wanted.rheight() += scrollBarExtent;
    if (wanted.height() > available.height())
        wanted.rwidth() += scrollBarExtent;
    return wanted.boundedTo(available);
}

void FM_TableSetting::fitToScreen()
{
    const QScreen *where = screen();
    if (!where || !scroll_->widget())
        return;
    const QSize page = scroll_->widget()->size();
    const QSize available = where->availableGeometry().size();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool fits = page.width() <= available.width() && page.height() <= available.height();
    setMaximumSize(fits ? page : page + QSize(bar, bar));
    resize(sizeOnScreen(page, available, bar));
}

void FM_TableSetting::buildControls(QWidget *page)
{
    const QStringList items = idItems();
    QPalette captions = palette();
    captions.setColor(QPalette::WindowText, CaptionColour);

    for (int k = 0; k < SlotCount; ++k) {
        auto *frame = new QGroupBox(QStringLiteral("Meter %1").arg(k + 1), page);
        frame->setGeometry(twipsRect(FrameLeft + FrameStepX * (k % Columns),
                                      FrameTop + FrameStepY * (k / Columns), FrameWidth, FrameHeight));
        frame->setPalette(captions);
        frames_[k] = frame;

        idLabels_[k] = centredLabel(QStringLiteral("ID"), frame, twipsRect(105, 315, 855, 300));

        auto *combo = new QComboBox(frame);
        combo->setEditable(true);
        // What is typed stays typed: no completion, and Enter does not add
        // the typed text to the list.
        combo->setCompleter(nullptr);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(items);
        combo->setEditText(QStringLiteral("---"));
        combo->setGeometry(twipsRect(1050, 315, 1485, 300));
        idCombos_[k] = combo;

        nameLabels_[k] = centredLabel(QStringLiteral("Describe"), frame, twipsRect(105, 630, 960, 300));

        auto *name = new QLineEdit(QStringLiteral("---"), frame);
        name->setGeometry(twipsRect(1050, 630, 1485, 300));
        nameEdits_[k] = name;

        // Screen readers name each field by its meter and label, and hear
        // the label beside it through the buddy relation.
        nameComboBox(combo, frame->title() + QStringLiteral(" ID"));
        name->setAccessibleName(frame->title() + QStringLiteral(" Describe"));
        idLabels_[k]->setBuddy(combo);
        nameLabels_[k]->setBuddy(name);
    }
}

void FM_TableSetting::FM_TableSetting_Load()
{
    ErrorTrap trap(reporter_, QStringLiteral("FM_TableSetting_Load"));
    reporter_.beep();
    const PanelTable &panel = console_.settings.panel;
    for (int k = 0; k < SlotCount; ++k)
        trap.step([&] { idCombos_[k]->setEditText(panel.IdText[k]); });
    for (int k = 0; k < SlotCount; ++k)
        trap.step([&] { nameEdits_[k]->setText(panel.NameText[k]); });
}

bool FM_TableSetting::FM_TableSetting_Unload()
{
    SlotTexts ids;
    SlotTexts names;
    for (int k = 0; k < SlotCount; ++k) {
        ids[k] = idCombos_[k]->currentText();
        names[k] = nameEdits_[k]->text();
    }

    // Judged before anything changes: a refusal must leave the model, the
    // panel and the file exactly as they were.
    const QStringList problems = panelEntryProblems(ids, names);
    if (!problems.isEmpty()) {
        reporter_.warn(caption(), problems.join(QLatin1Char('\n'))
                                      + QStringLiteral("\n\nThe window stays open; nothing has been saved."));
        return false;
    }

    ErrorTrap trap(reporter_, QStringLiteral("FM_TableSetting_Unload"));
    PanelTable &panel = console_.settings.panel;
    panel.IdText = ids;
    panel.NameText = names;
    for (int k = 0; k < SlotCount; ++k) {
        console_.slots.SlotId[k] = 0;
        trap.step([&] { console_.slots.SlotId[k] = slotIdFromText(panel.IdText[k]); });
    }
    for (int k = 0; k < SlotCount; ++k)
        trap.step([&] { painter_.repaintFrameWithName(k); });
    // A file that cannot be written is reported; the model keeps the new
    // texts until exit and the window closes all the same.
    trap.step([&] { saveSettingsRecords(console_.settingsPath(), {2, 3}, console_.settings); });
    return true;
}

void FM_TableSetting::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window manager restoring a minimised window:
    // the fields keep what the user typed.
    if (!event->spontaneous()) {
        fitToScreen();
        FM_TableSetting_Load();
    }
    QWidget::showEvent(event);
}

void FM_TableSetting::closeEvent(QCloseEvent *event)
{
    if (FM_TableSetting_Unload())
        event->accept();
    else
        event->ignore();
}

} // namespace orbalis
