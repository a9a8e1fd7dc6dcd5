#pragma once

#include <QRect>
#include <QSize>
#include <Qt>

namespace orbalis {

// The panel is laid out in a user scale of 1000 by 1000 units whatever its
// size in pixels; each slot is 225 units square, 20 units from the edges and
// from each other, so the last column and row end at 980.
constexpr int PanelUnits = 1000;
constexpr int SlotUnits = 225;
constexpr int SlotPitchUnits = 245;
constexpr int SlotMarginUnits = 20;

// Pixel rectangle of slot k (0..15) in a panel of the given pixel size.
QRect Slot_Rect(int slot, QSize panelPixels);

// The ratio q = round(screen width * 10) div round(inner window width), both in twips.
int Font_Ratio(int screenWidthTwips, int innerWidthTwips);
// Slot font size in points for q: up to 11 -> 22, 12..21 -> 16, 22..31 -> 10, else 8.
int Slot_Font_Size(int q);

enum class SlotClick { Nothing, TogglePen, ToggleBrush, OpenParameters };

// What a mouse press at (x, y) in slot units (60 by 70) does: only the left
// button, on the top row (y < 10), of a slot with a controller does anything.
SlotClick Slot_Click_Action(bool hasController, Qt::MouseButton button, double x, double y);

} // namespace orbalis
