#pragma once

#include "model/register_map.h"

#include <QRect>
#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace orbalis {

// Where everything of the parameter window sits, in twips, computed from the
// register map and the frame table below. No widget code: the window places
// its widgets by these rectangles.

// The tab control SSTab2 in the window's client area; frames on its pages are
// placed relative to its top left corner (the left column's frames too, so
// that both line up).
constexpr int SSTabLeft = 105;
constexpr int SSTabTop = 105;
constexpr int SSTabWidth = 9465;
constexpr int SSTabHeight = 4635;

// Below the tab control, a row of buttons for the downloads that compare
// first; the window is taller by it than it was designed (5655 and 6180).
constexpr int DownloadRowTop = SSTabTop + SSTabHeight + 105;
constexpr int DownloadRowHeight = 420;

// Window height while idle and while a write-all uncovers the progress bar.
// They are heights of the whole window, title bar and borders included; the
// client area is smaller by NonClientHeight.
constexpr int FormHeightIdle = 5655 + DownloadRowHeight;
constexpr int FormHeightWriteAll = 6180 + DownloadRowHeight;
constexpr int NonClientHeight = 450;
constexpr int ClientWidth = SSTabLeft + SSTabWidth + SSTabLeft;

// Rows inside a frame: the first 315 below its top, then every 315.
constexpr int RowStep = 315;
constexpr int RowHeight = 300;
constexpr int FrameInset = 105;      // label left of the frame's edge, and the frame's bottom margin
constexpr int FrameGap = 60;         // between a frame and its neighbour to the right
constexpr int GroupGap = 105;        // extra space before a frame's second group of rows

// Tab captions, in tab order; the window opens on " Option  ".
constexpr std::array<std::string_view, 6> TabCaptions{"  User   ", "  P.I.D  ", " Option  ",
                                                      " Output  ", " Program ", "   Aux    "};
constexpr int OpeningTab = 2;
// The tab of a page (Page::LeftColumn has none: -1).
int tabOfPage(Page page);

// Command_None(0..5), the progress bar, in the client area: the first three
// in the left column, the three that compare before they write in the row
// below the tab control.
constexpr std::array<std::string_view, 6> ButtonCaptions{"Read All Parameters", "Open File",         "Save File",
                                                         "Compare File...",     "Restore Backup...", "Copy to..."};
QRect buttonTwips(int index);
QRect progressBarTwips();

// A row: the mnemonic's label at the frame's left inset, the value control
// to its right up to the inset on the other side. How wide the label is
// follows the window's font (the widest mnemonic of the frame).
struct RowLayout {
    int address;
    int top;   // twips, in the frame
};

struct FrameLayout {
    std::string_view caption;
    Page page;               // LeftColumn: over the tab control, on every page
    QRect rect;              // twips, relative to the tab control's top left corner
    std::vector<RowLayout> rows;
};

// Every frame of the window with its rows, in the order of the frame table.
std::span<const FrameLayout> parameterFrames();
// The frame and row of an address; nullptr for an address without a control.
const FrameLayout *frameOf(int address);
const RowLayout *rowOf(int address);

// Every address that has a control (109 holding, 27 live), in address order.
std::span<const int> addressesWithControls();

} // namespace orbalis
