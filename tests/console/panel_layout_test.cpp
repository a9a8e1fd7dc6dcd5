#include "console/panel_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orbalis;

TEST(PanelLayout, SlotsOnTheThousandUnitGrid)
{
    const QSize square(1000, 1000);
    EXPECT_EQ(slotRect(0, square), QRect(20, 20, 225, 225));
    EXPECT_EQ(slotRect(3, square), QRect(755, 20, 225, 225));    // top right
    EXPECT_EQ(slotRect(12, square), QRect(20, 755, 225, 225));   // bottom left
    EXPECT_EQ(slotRect(15, square).bottomRight(), QPoint(979, 979));   // ends at 980
    EXPECT_EQ(slotRect(6, square).topLeft(), QPoint(510, 265));
}

TEST(PanelLayout, UnitsAreNotSquareOnAWidePanel)
{
    const QSize wide(2000, 500);
    const QRect r = slotRect(5, wide);   // column 1, row 1
    EXPECT_EQ(r.left(), 530);
    EXPECT_EQ(r.width(), 450);
    EXPECT_EQ(r.top(), 133);              // 132.5 rounds up
    EXPECT_EQ(r.height(), 112);
}

TEST(PanelLayout, NeighbouringSlotsNeverOverlapAtOddSizes)
{
    for (int w : {97, 333, 547, 1001}) {
        for (int h : {61, 438, 777}) {
            for (int k = 0; k < 16; ++k) {
                const QRect r = slotRect(k, QSize(w, h));
                EXPECT_GE(r.width(), 0);
                if (k % 4 < 3) {
                    EXPECT_LE(r.right(), slotRect(k + 1, QSize(w, h)).left()) << w << "x" << h;
                }
                if (k < 12) {
                    EXPECT_LE(r.bottom(), slotRect(k + 4, QSize(w, h)).top());
                }
                EXPECT_LE(r.right(), w - 1);
                EXPECT_LE(r.bottom(), h - 1);
            }
        }
    }
}

TEST(PanelLayout, FontSizeFollowsTheScreenToWindowRatio)
{
    // Boundaries of the table.
    EXPECT_EQ(slotFontSizeFor(0), 22);
    EXPECT_EQ(slotFontSizeFor(11), 22);
    EXPECT_EQ(slotFontSizeFor(12), 16);
    EXPECT_EQ(slotFontSizeFor(21), 16);
    EXPECT_EQ(slotFontSizeFor(22), 10);
    EXPECT_EQ(slotFontSizeFor(31), 10);
    EXPECT_EQ(slotFontSizeFor(32), 8);
    EXPECT_EQ(slotFontSizeFor(400), 8);

    // A maximised window, half, a third and a quarter of a 1920-pixel screen.
    const int screen = 1920 * 15;
    EXPECT_EQ(fontRatio(screen, screen), 10);
    EXPECT_EQ(slotFontSizeFor(fontRatio(screen, 960 * 15)), 16);
    EXPECT_EQ(slotFontSizeFor(fontRatio(screen, 640 * 15)), 10);
    EXPECT_EQ(slotFontSizeFor(fontRatio(screen, 480 * 15)), 8);
    // Integer division: just under twice as wide still counts as 1x.
    EXPECT_EQ(fontRatio(19199, 10000), 19);
    EXPECT_EQ(fontRatio(screen, 0), 0);
}

// Window and screen widths in logical pixels; the panel fills the window's
// width and the height left by the menu and status bars. The slot pictures
// are the panel's slots at the scale factor, in device pixels, as a screen
// of 96 logical dots per inch shows them.
struct FontCase {
    const char *what;
    int screenWidth;
    int windowWidth;
    int panelHeight;
    double scale;
    double lineHeightPerPixel;   // 1.17 about DejaVu Sans, 1.45 a CJK face
    int expected;
};

TEST(PanelLayout, SlotFontIsTheTableSizeWhereTheNameRowHoldsIt)
{
    const FontCase cases[] = {
        // The table's own sizes where the slots are large enough.
        {"maximised on 2560x1600", 2560, 2560, 1480, 1, 1.17, 22},
        {"maximised on 2560x1600, CJK face", 2560, 2560, 1480, 1, 1.45, 22},
        {"half of 2560, tall", 2560, 1280, 1400, 1, 1.17, 16},
        {"a third of 2560", 2560, 853, 530, 1, 1.17, 10},
        {"a quarter of 2560", 2560, 640, 410, 1, 1.17, 8},
        // Smaller where the name would run out of its row.
        {"half of 2560, wide and low", 2560, 1280, 730, 1, 1.17, 15},
        {"maximised on 1920x1080", 1920, 1920, 1000, 1, 1.17, 20},
        {"maximised on 1024x768", 1024, 1024, 660, 1, 1.17, 13},
        {"maximised on 1024x768, CJK face", 1024, 1024, 660, 1, 1.45, 10},
        {"maximised at scale 2 on 2560x1600", 1280, 1280, 730, 2, 1.17, 15},
        {"maximised at scale 1.5 on 1920x1200", 1280, 1280, 730, 1.5, 1.17, 14},
        {"design size at scale 1 on 1280", 1280, 547, 365, 1, 1.17, 7},
        {"design size at scale 2 on 2560", 1280, 547, 365, 2, 1.17, 7},
        {"design size at scale 1.5", 1706, 547, 365, 1.5, 1.17, 7},
        {"design size on a wide screen: table's 8 pt, still too high", 2560, 547, 365, 1, 1.17, 7},
        {"a sliver of a window", 400, 400, 40, 1, 1.17, 1},
        {"no room at all", 400, 400, 20, 1, 1.17, 0},
    };
    for (const FontCase &c : cases) {
        SCOPED_TRACE(c.what);
        const QSize panel(c.windowWidth, c.panelHeight);
        int slotPixelsHigh = panel.height();
        for (int k = 0; k < 16; ++k)
            slotPixelsHigh = std::min(
                slotPixelsHigh, int(std::lround(slotRect(k, panel).height() * c.scale)));
        const SlotFontRoom room{
            fontRatio(c.screenWidth * 15, c.windowWidth * 15), slotPixelsHigh, 96 / 72.0 * c.scale};
        const LineHeight lineHeight = [&](int pixelSize) {
            return int(std::ceil(pixelSize * c.lineHeightPerPixel));
        };
        const int size = slotFontSizeFor(room, lineHeight);
        EXPECT_EQ(size, c.expected);

        // Never above the table; the chosen size fits the name row, one more does not.
        const int tableSize = slotFontSizeFor(room.q);
        EXPECT_LE(size, tableSize);
        const int row = unitsToPixels(60, 70, slotPixelsHigh) - unitsToPixels(50, 70, slotPixelsHigh);
        if (size > 0) {
            EXPECT_LE(lineHeight(pointSizeToPixels(size, room.pixelsPerPoint)), row);
        }
        if (size < tableSize) {
            EXPECT_GT(lineHeight(pointSizeToPixels(size + 1, room.pixelsPerPoint)), row);
        }
    }
}

TEST(PanelLayout, ClicksOnTheTopRow)
{
    const auto left = Qt::LeftButton;
    EXPECT_EQ(slotClickAction(true, left, 5, 5), SlotClick::TogglePen);
    EXPECT_EQ(slotClickAction(true, left, 0, 0), SlotClick::TogglePen);
    EXPECT_EQ(slotClickAction(true, left, 10, 9.99), SlotClick::ToggleBrush);
    EXPECT_EQ(slotClickAction(true, left, 19.9, 1), SlotClick::ToggleBrush);
    EXPECT_EQ(slotClickAction(true, left, 25, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(true, left, 35, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(true, left, 40, 5), SlotClick::OpenParameters);
    EXPECT_EQ(slotClickAction(true, left, 45, 5), SlotClick::OpenParameters);
    EXPECT_EQ(slotClickAction(true, left, 60, 5), SlotClick::Nothing);
}

TEST(PanelLayout, ClicksThatDoNothing)
{
    EXPECT_EQ(slotClickAction(true, Qt::RightButton, 45, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(true, Qt::MiddleButton, 5, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(false, Qt::LeftButton, 45, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(false, Qt::LeftButton, 5, 5), SlotClick::Nothing);
    EXPECT_EQ(slotClickAction(true, Qt::LeftButton, 5, 10), SlotClick::Nothing);   // below the top row
    EXPECT_EQ(slotClickAction(true, Qt::LeftButton, 5, 65), SlotClick::Nothing);
}
