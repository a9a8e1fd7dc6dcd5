#pragma once

#include "alarms/alarm_panel.h"
#include "health/health_panel.h"
#include "state/console.h"
#include "state/slot_painter.h"

#include <QWidget>
#include <array>

namespace orbalis {

class ImageLists;
class SlotPicture;

// The panel Pic_All: 16 slot pictures in a 4 by 4 grid that follows the
// panel's size. It paints the slots for the cycles (SlotPainter) and turns
// clicks on a slot's top row into the slot actions. It shows each slot's
// line health over the slot (HealthPanel) and a frame around a slot whose
// alarms wait for an acknowledgement (AlarmPanel).
class SlotPanel : public QWidget, public SlotPainter, public HealthPanel, public AlarmPanel {
    Q_OBJECT
public:
    SlotPanel(Console &console, const ImageLists &images, QWidget *parent = nullptr);
    ~SlotPanel() override;

    SlotPicture *Pic_Control(int slot) const { return pictures_[size_t(slot)]; }

    // The layout: place every slot, repaint its frame, set its font, print the names.
    void layoutSlots();
    int slotFontSize() const { return fontSize_; }

    void Show_Slot_Values(int slot, const QByteArray &reply, std::int32_t dpCode) override;
    void paintPenIcon(int slot, bool recording) override;
    void repaintFrameWithName(int slot) override;

    QWidget *slotWidget(int slot) const override;
    bool showsValues(int slot) const override;
    QString shownValues(int slot) const override;
    void showHealth(int slot, const QColor &mark, const QString &oldValuesWord) override;
    QString furtherDescription(int slot) const override;

    QWidget *alarmSlotWidget(int slot) const override { return slotWidget(slot); }
    void showAlarmFrame(int slot, const QColor &colour) override;
    void setAlarmNote(int slot, const QString &note) override;
    const QColor &alarmFrame(int slot) const { return alarmFrames_[size_t(slot)]; }
    // Where the slot's alarm frame is drawn: in the gap around its picture,
    // half the gap at most, so that neither the slot's nor a neighbour's
    // pixels are touched.
    QRect alarmFrameRect(int slot) const;
    int alarmFrameWidth() const;

    // Mouse press on slot k at (x, y) in slot units (60 by 70).
    void Pic_Control_MouseDown(int slot, Qt::MouseButton button, double x, double y);

Q_SIGNALS:
    // The menu button of a bound slot was clicked; Para_Slot is already set.
    void parameterWindowRequested(int slot);
    // A bound slot's digits (the PV and SV rows) were double-clicked.
    void trendRequested(int slot);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintFrame(int slot);
    void printName(int slot);
    int currentFontSize() const;

    Console &console_;
    const ImageLists &images_;
    std::array<SlotPicture *, SlotCount> pictures_{};
    // The reply each slot's values were painted from, and its decimal-point
    // code; empty while the slot shows blank cells.
    struct Shown {
        QByteArray reply;
        std::int32_t dpCode = 0;
    };
    std::array<Shown, SlotCount> shown_{};
    std::array<QColor, SlotCount> alarmFrames_{};
    std::array<QString, SlotCount> alarmNotes_{};
    int fontSize_ = 8;
};

} // namespace orbalis
