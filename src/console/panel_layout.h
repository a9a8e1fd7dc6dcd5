#pragma once

#include <QRect>
#include <QSize>
#include <Qt>

#include <functional>

namespace orbalis {

// The panel is laid out in a user scale of 1000 by 1000 units whatever its
// size in pixels; each slot is 225 units square, 20 units from the edges and
// from each other, so the last column and row end at 980.
constexpr int PanelUnits = 1000;
constexpr int SlotUnits = 225;
constexpr int SlotPitchUnits = 245;
constexpr int SlotMarginUnits = 20;

// A slot picture is 60 by 70 units; its name is printed from (20, 50) into
// the row between the lamps and the banner, which ends at y 60 where the
// output bar starts.
constexpr int SlotUnitsAcross = 60;
constexpr int SlotUnitsDown = 70;
constexpr int SlotNameLeft = 20;
constexpr int SlotNameRowTop = 50;
constexpr int SlotNameRowBottom = 60;

// The pixel position of a position in user units, when unitsTotal units span
// totalPixels pixels. Each edge is rounded on its own, so rectangles that
// touch in units touch in pixels.
int unitsToPixels(int units, int unitsTotal, int totalPixels);

// Pixel rectangle of slot k (0..15) in a panel of the given pixel size.
QRect slotRect(int slot, QSize panelPixels);

// The ratio q = round(screen width * 10) div round(inner window width), both in twips.
int fontRatio(int screenWidthTwips, int innerWidthTwips);
// Slot font size in points for q: up to 11 -> 22, 12..21 -> 16, 22..31 -> 10, else 8.
int slotFontSizeFor(int q);

// The pixel size a point size is printed at (at least 1 pixel).
int pointSizeToPixels(int pointSize, double pixelsPerPoint);

// The slot font as the slots can show it. The ratio table assumes a screen
// that is large in pixels; a window covering most of a small or high-density
// screen has slots too low for its sizes, and the names would run out of
// their row into the output bar and be cut by the banner. So the table is
// only the upper bound: the size is the largest whose line of text (ascent
// plus descent) fits the name row, y 50 to 60 of the slot's 70 units, at the
// slot's size in device pixels. 0 (no name printed) when not even 1 point fits.
struct SlotFontRoom {
    int q;                  // fontRatio of screen and window
    int slotPixelsHigh;     // height of the lowest slot picture, in device pixels
    double pixelsPerPoint;  // device pixels per point: logical dpi / 72 * device pixel ratio
};
// Line height in pixels of the slot font at a pixel size.
using LineHeight = std::function<int(int pixelSize)>;
int slotFontSizeFor(const SlotFontRoom &room, const LineHeight &lineHeight);

enum class SlotClick { Nothing, TogglePen, ToggleBrush, OpenParameters };

// What a mouse press at (x, y) in slot units (60 by 70) does: only the left
// button, on the top row (y < 10), of a slot with a controller does anything.
SlotClick slotClickAction(bool hasController, Qt::MouseButton button, double x, double y);

} // namespace orbalis
