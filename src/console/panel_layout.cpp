#include "panel_layout.h"

#include <cmath>

namespace orbalis {

namespace {

int toPixels(int units, int pixels)
{
    return int(std::lround(double(units) * pixels / PanelUnits));
}

} // namespace

QRect Slot_Rect(int slot, QSize panelPixels)
{
    const int column = slot % 4;
    const int row = slot / 4;
    const int x = SlotMarginUnits + SlotPitchUnits * column;
    const int y = SlotMarginUnits + SlotPitchUnits * row;
    const int left = toPixels(x, panelPixels.width());
    const int top = toPixels(y, panelPixels.height());
    const int right = toPixels(x + SlotUnits, panelPixels.width());
    const int bottom = toPixels(y + SlotUnits, panelPixels.height());
    return QRect(left, top, right - left, bottom - top);
}

int Font_Ratio(int screenWidthTwips, int innerWidthTwips)
{
    if (innerWidthTwips <= 0)
        return 0;
    return (screenWidthTwips * 10) / innerWidthTwips;
}

int Slot_Font_Size(int q)
{
    if (q <= 11)
        return 22;
    if (q <= 21)
        return 16;
    if (q <= 31)
        return 10;
    return 8;
}

SlotClick Slot_Click_Action(bool hasController, Qt::MouseButton button, double x, double y)
{
    if (!hasController || button != Qt::LeftButton || !(y < 10))
        return SlotClick::Nothing;
    if (x < 0)
        return SlotClick::Nothing;
    if (x < 10)
        return SlotClick::TogglePen;
    if (x < 20)
        return SlotClick::ToggleBrush;
    if (x < 40)
        return SlotClick::Nothing;
    if (x < 60)
        return SlotClick::OpenParameters;
    return SlotClick::Nothing;
}

} // namespace orbalis
