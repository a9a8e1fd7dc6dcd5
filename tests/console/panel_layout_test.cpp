#include "console/panel_layout.h"

#include <gtest/gtest.h>

using namespace orbalis;

TEST(PanelLayout, SlotsOnTheThousandUnitGrid)
{
    const QSize square(1000, 1000);
    EXPECT_EQ(Slot_Rect(0, square), QRect(20, 20, 225, 225));
    EXPECT_EQ(Slot_Rect(3, square), QRect(755, 20, 225, 225));    // top right
    EXPECT_EQ(Slot_Rect(12, square), QRect(20, 755, 225, 225));   // bottom left
    EXPECT_EQ(Slot_Rect(15, square).bottomRight(), QPoint(979, 979));   // ends at 980
    EXPECT_EQ(Slot_Rect(6, square).topLeft(), QPoint(510, 265));
}

TEST(PanelLayout, UnitsAreNotSquareOnAWidePanel)
{
    const QSize wide(2000, 500);
    const QRect r = Slot_Rect(5, wide);   // column 1, row 1
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
                const QRect r = Slot_Rect(k, QSize(w, h));
                EXPECT_GE(r.width(), 0);
                if (k % 4 < 3) {
                    EXPECT_LE(r.right(), Slot_Rect(k + 1, QSize(w, h)).left()) << w << "x" << h;
                }
                if (k < 12) {
                    EXPECT_LE(r.bottom(), Slot_Rect(k + 4, QSize(w, h)).top());
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
    EXPECT_EQ(Slot_Font_Size(0), 22);
    EXPECT_EQ(Slot_Font_Size(11), 22);
    EXPECT_EQ(Slot_Font_Size(12), 16);
    EXPECT_EQ(Slot_Font_Size(21), 16);
    EXPECT_EQ(Slot_Font_Size(22), 10);
    EXPECT_EQ(Slot_Font_Size(31), 10);
    EXPECT_EQ(Slot_Font_Size(32), 8);
    EXPECT_EQ(Slot_Font_Size(400), 8);

    // A maximised window, half, a third and a quarter of a 1920-pixel screen.
    const int screen = 1920 * 15;
    EXPECT_EQ(Font_Ratio(screen, screen), 10);
    EXPECT_EQ(Slot_Font_Size(Font_Ratio(screen, 960 * 15)), 16);
    EXPECT_EQ(Slot_Font_Size(Font_Ratio(screen, 640 * 15)), 10);
    EXPECT_EQ(Slot_Font_Size(Font_Ratio(screen, 480 * 15)), 8);
    // Integer division: just under twice as wide still counts as 1x.
    EXPECT_EQ(Font_Ratio(19199, 10000), 19);
    EXPECT_EQ(Font_Ratio(screen, 0), 0);
}

TEST(PanelLayout, ClicksOnTheTopRow)
{
    const auto left = Qt::LeftButton;
    EXPECT_EQ(Slot_Click_Action(true, left, 5, 5), SlotClick::TogglePen);
    EXPECT_EQ(Slot_Click_Action(true, left, 0, 0), SlotClick::TogglePen);
    EXPECT_EQ(Slot_Click_Action(true, left, 10, 9.99), SlotClick::ToggleBrush);
    EXPECT_EQ(Slot_Click_Action(true, left, 19.9, 1), SlotClick::ToggleBrush);
    EXPECT_EQ(Slot_Click_Action(true, left, 25, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(true, left, 35, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(true, left, 40, 5), SlotClick::OpenParameters);
    EXPECT_EQ(Slot_Click_Action(true, left, 45, 5), SlotClick::OpenParameters);
    EXPECT_EQ(Slot_Click_Action(true, left, 60, 5), SlotClick::Nothing);
}

TEST(PanelLayout, ClicksThatDoNothing)
{
    EXPECT_EQ(Slot_Click_Action(true, Qt::RightButton, 45, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(true, Qt::MiddleButton, 5, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(false, Qt::LeftButton, 45, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(false, Qt::LeftButton, 5, 5), SlotClick::Nothing);
    EXPECT_EQ(Slot_Click_Action(true, Qt::LeftButton, 5, 10), SlotClick::Nothing);   // below the top row
    EXPECT_EQ(Slot_Click_Action(true, Qt::LeftButton, 5, 65), SlotClick::Nothing);
}
