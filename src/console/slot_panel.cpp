#include "slot_panel.h"

#include "panel_layout.h"
#include "slot_painting.h"
#include "slot_picture.h"

#include "base/twips.h"
#include "images/image_lists.h"

#include <QMouseEvent>
#include <QScreen>

namespace orbalis {

SlotPanel::SlotPanel(Console &console, const ImageLists &images, QWidget *parent)
    : QWidget(parent), console_(console), images_(images)
{
    setAutoFillBackground(true);
    for (int k = 0; k < SlotCount; ++k) {
        auto *picture = new SlotPicture(this);
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
    const int q = Font_Ratio(Pixels_To_Twips(screenWidth), Pixels_To_Twips(win->width()));
    return Slot_Font_Size(q);
}

void SlotPanel::Layout_Slots()
{
    fontSize_ = currentFontSize();
    const QSize panel = size();
    for (int k = 0; k < SlotCount; ++k) {
        SlotPicture *picture = pictures_[size_t(k)];
        const QRect r = Slot_Rect(k, panel);
        if (r.width() > 0 && r.height() > 0)
            picture->setGeometry(r);
        paintFrame(k);
    }
    for (int k = 0; k < SlotCount; ++k)
        printName(k);
}

void SlotPanel::paintFrame(int slot)
{
    const auto k = size_t(slot);
    Paint_Slot_Frame(*pictures_[k], images_, console_.slots.Record_Flag[k],
                     console_.slots.Mark_Flag[k], console_.slots.SlotId[k] != 0);
}

void SlotPanel::printName(int slot)
{
    pictures_[size_t(slot)]->printText(20, 50, console_.settings.panel.NameText[size_t(slot)],
                                       fontSize_);
}

void SlotPanel::Show_Slot_Values(int slot, const QByteArray &reply, std::int32_t dpCode)
{
    orbalis::Show_Slot_Values(*pictures_[size_t(slot)], images_, reply, dpCode);
}

void SlotPanel::Paint_Pen_Icon(int slot, bool recording)
{
    orbalis::Paint_Pen_Icon(*pictures_[size_t(slot)], images_, recording);
}

void SlotPanel::Repaint_Frame_With_Name(int slot)
{
    paintFrame(slot);
    printName(slot);
}

void SlotPanel::Pic_Control_MouseDown(int slot, Qt::MouseButton button, double x, double y)
{
    const auto k = size_t(slot);
    switch (Slot_Click_Action(console_.slots.SlotId[k] != 0, button, x, y)) {
    case SlotClick::TogglePen:
        console_.slots.Record_Flag[k] = !console_.slots.Record_Flag[k];
        orbalis::Paint_Pen_Icon(*pictures_[k], images_, console_.slots.Record_Flag[k]);
        break;
    case SlotClick::ToggleBrush:
        console_.slots.Mark_Flag[k] = !console_.slots.Mark_Flag[k];
        Paint_Brush_Icon(*pictures_[k], images_, console_.slots.Mark_Flag[k]);
        break;
    case SlotClick::OpenParameters:
        console_.Para_Slot = std::int16_t(slot);
        Q_EMIT parameterWindowRequested(slot);
        break;
    case SlotClick::Nothing:
        break;
    }
}

void SlotPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Layout_Slots();
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
