#include "panel_layout.h"

#include <algorithm>
#include <cmath>

namespace orbalis {

int unitsToPixels(int units, int unitsTotal, int totalPixels)
{
    if (unitsTotal <= 0)
        return 0;
    return int(std::lround(double(units) * totalPixels / unitsTotal));
}

QRect slotRect(int slot, QSize panelPixels)
{
    const int column = slot % 4;
    const int row = slot / 4;
    const int x = SlotMarginUnits + SlotPitchUnits * column;
    const int y = SlotMarginUnits + SlotPitchUnits * row;
    const int left = unitsToPixels(x, PanelUnits, panelPixels.width());
    const int top = unitsToPixels(y, PanelUnits, panelPixels.height());
    const int right = unitsToPixels(x + SlotUnits, PanelUnits, panelPixels.width());
    const int bottom = unitsToPixels(y + SlotUnits, PanelUnits, panelPixels.height());
    return QRect(left, top, right - left, bottom - top);
}

int fontRatio(int screenWidthTwips, int innerWidthTwips)
{
    if (innerWidthTwips <= 0)
        return 0;
    return (screenWidthTwips * 10) / innerWidthTwips;
}

int slotFontSizeFor(int q)
{
    if (q <= 11)
        return 22;
    if (q <= 21)
        return 16;
    if (q <= 31)
        return 10;
    return 8;
}

int pointSizeToPixels(int pointSize, double pixelsPerPoint)
{
    return std::max(1, int(std::lround(pointSize * pixelsPerPoint)));
}

int slotFontSizeFor(const SlotFontRoom &room, const LineHeight &lineHeight)
{
    const int rowPixels = unitsToPixels(SlotNameRowBottom, SlotUnitsDown, room.slotPixelsHigh)
                          - unitsToPixels(SlotNameRowTop, SlotUnitsDown, room.slotPixelsHigh);
    for (int size = slotFontSizeFor(room.q); size >= 1; --size)
        if (lineHeight(pointSizeToPixels(size, room.pixelsPerPoint)) <= rowPixels)
            return size;
    return 0;
}

SlotClick slotClickAction(bool hasController, Qt::MouseButton button, double x, double y)
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
