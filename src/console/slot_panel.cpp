#include "slot_panel.h"

#include "panel_layout.h"
#include "slot_painting.h"
#include "slot_picture.h"

#include "base/twips.h"
#include "images/button_images.h"
#include "images/image_lists.h"
#include "model/display.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>

#include <algorithm>

namespace orbalis {

SlotPanel::SlotPanel(Console &console, const ImageLists &images, QWidget *parent)
    : QWidget(parent), console_(console), images_(images)
{
    setAutoFillBackground(true);
    for (int k = 0; k < SlotCount; ++k) {
        auto *picture = new SlotPicture(this);
        picture->setAccessibleName(QStringLiteral("Slot ") + QString::number(k + 1));
        picture->installEventFilter(this);
        pictures_[size_t(k)] = picture;
    }
}

SlotPanel::~SlotPanel() = default;

int SlotPanel::currentFontSize() const
{
    // q compares the screen's width with the window's inner width, in twips.
    const QWidget *win = window();
    const QScreen *scr = win->screen();
    const int screenWidth = scr ? scr->geometry().width() : win->width();
    const int q = fontRatio(pixelsToTwips(screenWidth), pixelsToTwips(win->width()));

    // One size for all slots: the one the lowest slot can hold.
    const SlotPicture *lowest = *std::min_element(
        pictures_.begin(), pictures_.end(),
        [](const SlotPicture *a, const SlotPicture *b) { return a->pixelsHigh() < b->pixelsHigh(); });
    return lowest->nameFontSize(q);
}

void SlotPanel::layoutSlots()
{
    const QSize panel = size();
    for (int k = 0; k < SlotCount; ++k) {
        SlotPicture *picture = pictures_[size_t(k)];
        const QRect r = slotRect(k, panel);
        if (r.width() > 0 && r.height() > 0)
            picture->setGeometry(r);
        paintFrame(k);
    }
    // The slots have their sizes now, and the font follows them.
    fontSize_ = currentFontSize();
    for (int k = 0; k < SlotCount; ++k)
        printName(k);
}

void SlotPanel::paintFrame(int slot)
{
    const auto k = size_t(slot);
    shown_[k] = {};
    Paint_Slot_Frame(*pictures_[k], images_, console_.slots.Record_Flag[k],
                     console_.slots.Mark_Flag[k], console_.slots.SlotId[k] != 0);
}

void SlotPanel::printName(int slot)
{
    pictures_[size_t(slot)]->printText(SlotNameLeft, SlotNameRowTop,
                                       console_.settings.panel.NameText[size_t(slot)], fontSize_);
}

void SlotPanel::Show_Slot_Values(int slot, const QByteArray &reply, std::int32_t dpCode)
{
    orbalis::Show_Slot_Values(*pictures_[size_t(slot)], images_, reply, dpCode);
    shown_[size_t(slot)] = {reply, dpCode};
}

QWidget *SlotPanel::slotWidget(int slot) const
{
    return isSlot(slot) ? pictures_[size_t(slot)] : nullptr;
}

bool SlotPanel::showsValues(int slot) const
{
    return isSlot(slot) && !shown_[size_t(slot)].reply.isEmpty();
}

QString SlotPanel::shownValues(int slot) const
{
    if (!showsValues(slot))
        return {};
    const Shown &s = shown_[size_t(slot)];
    const LiveValues v = takeLiveValues(s.reply);
    QString text = QStringLiteral("PV ") + scaledText(v.pv, s.dpCode) + QStringLiteral(", SV ")
        + scaledText(v.sv, s.dpCode) + QStringLiteral(", output ")
        + QString::number(v.output / 10.0, 'f', 1) + QStringLiteral(" %");
    const QString state = stateLegend(stateBannerIndex(v.status));
    if (!state.isEmpty())
        text += QStringLiteral(", state ") + state;
    const auto lamps = alarmLampIndexes(v.status);
    if (lamps[0] == 9)
        text += QStringLiteral(", alarm 1 on");
    if (lamps[1] == 11)
        text += QStringLiteral(", alarm 2 on");
    return text;
}

void SlotPanel::showHealth(int slot, const QColor &mark, const QString &oldValuesWord)
{
    if (isSlot(slot))
        pictures_[size_t(slot)]->setHealthOverlay(mark, oldValuesWord);
}

QString SlotPanel::furtherDescription(int slot) const
{
    return slot >= 0 && slot < SlotCount ? alarmNotes_[size_t(slot)] : QString();
}

void SlotPanel::setAlarmNote(int slot, const QString &note)
{
    if (slot >= 0 && slot < SlotCount)
        alarmNotes_[size_t(slot)] = note;
}

int SlotPanel::alarmFrameWidth() const
{
    // The gap between two slots is 20 of the panel's 1000 units each way.
    const int gap = std::min(width(), height()) * 20 / 1000;
    return std::max(1, gap / 2 - 1);
}

QRect SlotPanel::alarmFrameRect(int slot) const
{
    const int w = alarmFrameWidth();
    return pictures_[size_t(slot)]->geometry().adjusted(-w, -w, w, w);
}

void SlotPanel::showAlarmFrame(int slot, const QColor &colour)
{
    if (slot < 0 || slot >= SlotCount || alarmFrames_[size_t(slot)] == colour)
        return;
    alarmFrames_[size_t(slot)] = colour;
    const QRect outer = alarmFrameRect(slot);
    const QRect inner = pictures_[size_t(slot)]->geometry();
    update(QRegion(outer).subtracted(QRegion(inner)));
}

void SlotPanel::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    for (int k = 0; k < SlotCount; ++k) {
        const QColor &colour = alarmFrames_[size_t(k)];
        if (!colour.isValid())
            continue;
        const QRect inner = pictures_[size_t(k)]->geometry();
        const QRegion ring = QRegion(alarmFrameRect(k)).subtracted(QRegion(inner));
        for (const QRect &r : ring.intersected(event->region()))
            p.fillRect(r, colour);
    }
}

void SlotPanel::paintPenIcon(int slot, bool recording)
{
    orbalis::paintPenIcon(*pictures_[size_t(slot)], images_, recording);
}

void SlotPanel::repaintFrameWithName(int slot)
{
    paintFrame(slot);
    printName(slot);
}

void SlotPanel::Pic_Control_MouseDown(int slot, Qt::MouseButton button, double x, double y)
{
    const auto k = size_t(slot);
    switch (slotClickAction(console_.slots.SlotId[k] != 0, button, x, y)) {
    case SlotClick::TogglePen:
        console_.slots.Record_Flag[k] = !console_.slots.Record_Flag[k];
        orbalis::paintPenIcon(*pictures_[k], images_, console_.slots.Record_Flag[k]);
        break;
    case SlotClick::ToggleBrush:
        console_.slots.Mark_Flag[k] = !console_.slots.Mark_Flag[k];
        paintBrushIcon(*pictures_[k], images_, console_.slots.Mark_Flag[k]);
        break;
    case SlotClick::OpenParameters:
        console_.line.showParametersOf(slot);
        Q_EMIT parameterWindowRequested(slot);
        break;
    case SlotClick::Nothing:
        break;
    }
}

void SlotPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutSlots();
}

bool SlotPanel::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (press || doubleClick) {
        for (int k = 0; k < SlotCount; ++k) {
            SlotPicture *picture = pictures_[size_t(k)];
            if (watched != picture)
                continue;
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const QPointF p = mouse->position();
            const double x = picture->width() > 0 ? p.x() * 60.0 / picture->width() : 0;
            const double y = picture->height() > 0 ? p.y() * 70.0 / picture->height() : 0;
            if (press) {
                Pic_Control_MouseDown(k, mouse->button(), x, y);
                return true;
            }
            // The digits, rows y 10 to 50, open the slot's trend.
            if (mouse->button() != Qt::LeftButton || console_.slots.SlotId[size_t(k)] == 0 || y < 10 || y >= 50)
                return false;
            Q_EMIT trendRequested(k);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orbalis
