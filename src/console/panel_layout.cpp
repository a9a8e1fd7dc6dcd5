#include "panel_layout.h"

#include <algorithm>
#include <cmath>

namespace orbalis {

int Units_To_Pixels(int units, int unitsTotal, int totalPixels)
{
    if (unitsTotal <= 0)
        return 0;
    return int(std::lround(double(units) * totalPixels / unitsTotal));
}

QRect Slot_Rect(int slot, QSize panelPixels)
{
    const int column = slot % 4;
    const int row = slot / 4;
    const int x = SlotMarginUnits + SlotPitchUnits * column;
    const int y = SlotMarginUnits + SlotPitchUnits * row;
    const int left = Units_To_Pixels(x, PanelUnits, panelPixels.width());
    const int top = Units_To_Pixels(y, PanelUnits, panelPixels.height());
    const int right = Units_To_Pixels(x + SlotUnits, PanelUnits, panelPixels.width());
    const int bottom = Units_To_Pixels(y + SlotUnits, PanelUnits, panelPixels.height());
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

int Point_Size_To_Pixels(int pointSize, double pixelsPerPoint)
{
    return std::max(1, int(std::lround(pointSize * pixelsPerPoint)));
}

int Slot_Font_Size(const SlotFontRoom &room, const LineHeight &lineHeight)
{
    const int rowPixels = Units_To_Pixels(SlotNameRowBottom, SlotUnitsDown, room.slotPixelsHigh)
                          - Units_To_Pixels(SlotNameRowTop, SlotUnitsDown, room.slotPixelsHigh);
    for (int size = Slot_Font_Size(room.q); size >= 1; --size)
        if (lineHeight(Point_Size_To_Pixels(size, room.pixelsPerPoint)) <= rowPixels)
            return size;
    return 0;
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
