#include "images/image_lists.h"

#include "base/error.h"
#include "support/qt_app.h"

#include <gtest/gtest.h>

#include <functional>

using namespace orbalis;

namespace {

const QColor Red(255, 0, 0), Green(0, 107, 83);

class ImageListsTest : public ::testing::Test {
protected:
    const QImage &rpv(int i) const { return lists.image(ImageLists::ImageList_RPV, i); }
    const QImage &gpv(int i) const { return lists.image(ImageLists::ImageList_GPV, i); }
    const QImage &wker(int i) const { return lists.image(ImageLists::ImageList_WkEr, i); }
    const QImage &icon(int i) const { return lists.image(ImageLists::ImageList_60x60, i); }

    QApplication &app = test::qtApp();   // fonts need the application first
    ImageLists lists;
};

int countPixels(const QImage &img, const std::function<bool(QColor)> &pred)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += pred(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

int countColour(const QImage &img, const QColor &c)
{
    return countPixels(img, [&](QColor p) { return p.rgb() == c.rgb(); });
}

bool isColoured(QColor p)
{
    return std::max({p.red(), p.green(), p.blue()}) - std::min({p.red(), p.green(), p.blue()}) > 40;
}

// Pixels that show exactly the lit colour.
std::vector<QPoint> litPixels(const QImage &img, const QColor &lit)
{
    std::vector<QPoint> points;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y).rgb() == lit.rgb())
                points.emplace_back(x, y);
    return points;
}

} // namespace

TEST_F(ImageListsTest, ListsHaveTheirCountsAndPixelSizes)
{
    struct Expect { ImageLists::List list; int count; QSize size; };
    for (const Expect &e : {Expect{ImageLists::ImageList_RPV, 23, {64, 80}},
                            Expect{ImageLists::ImageList_GPV, 23, {64, 80}},
                            Expect{ImageLists::ImageList_WkEr, 15, {384, 80}},
                            Expect{ImageLists::ImageList_Outl, 2, {384, 80}}}) {
        ASSERT_EQ(lists.count(e.list), e.count);
        for (int i = 1; i <= e.count; ++i)
            EXPECT_EQ(lists.image(e.list, i).size(), e.size) << e.list << " image " << i;
    }
    ASSERT_EQ(lists.count(ImageLists::ImageList_60x60), 11);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(icon(i).size(), QSize(60, 59)) << i;
    for (int i = 8; i <= 11; ++i)
        EXPECT_EQ(icon(i).size(), QSize(59, 59)) << i;
}

TEST_F(ImageListsTest, IndexesOutsideTheListThrowSubscriptOutOfRange)
{
    for (auto [list, bad] : std::vector<std::pair<ImageLists::List, int>>{
             {ImageLists::ImageList_RPV, 0}, {ImageLists::ImageList_RPV, 24},
             {ImageLists::ImageList_GPV, -1}, {ImageLists::ImageList_WkEr, 16},
             {ImageLists::ImageList_Outl, 3}, {ImageLists::ImageList_60x60, 12}}) {
        try {
            (void)lists.image(list, bad);
            ADD_FAILURE() << "no error for list " << list << " index " << bad;
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), SubscriptOutOfRange);
        }
    }
    EXPECT_THROW((void)lists.image(ImageLists::List(7), 1), Error);
    EXPECT_NO_THROW((void)lists.image(ImageLists::ImageList_60x60, 11));
}

TEST_F(ImageListsTest, SevenSegmentDigitsAreDistinctAndLitInTheListColour)
{
    for (int i = 1; i <= 20; ++i) {
        EXPECT_GT(countColour(rpv(i), Red), 100) << "RPV " << i;
        EXPECT_GT(countColour(gpv(i), Green), 100) << "GPV " << i;
        EXPECT_EQ(countColour(rpv(i), Green), 0) << i;
        for (int j = 1; j < i; ++j)
            EXPECT_NE(rpv(i), rpv(j)) << i << " and " << j;
    }
    // Unlit segments are light grey on a white tile.
    EXPECT_GT(countColour(rpv(1), QColor(220, 223, 223)), 100);
    EXPECT_GT(countColour(rpv(1), Qt::white), 1000);
}

TEST_F(ImageListsTest, DigitSegmentsAreASubsetOfEight)
{
    // 8 lights every segment, so every lit pixel of a digit is lit in 8 too,
    // and more digits than 1 and 7 light fewer pixels than 8.
    const QImage &eight = rpv(8);
    const size_t eightLit = litPixels(eight, Red).size();
    for (int i : {1, 2, 3, 4, 5, 6, 7, 9, 10}) {
        const auto lit = litPixels(rpv(i), Red);
        EXPECT_LT(lit.size(), eightLit) << i;
        for (const QPoint &p : lit)
            ASSERT_EQ(eight.pixelColor(p).rgb(), Red.rgb()) << "digit " << i << " at " << p.x();
    }
    EXPECT_LT(litPixels(rpv(1), Red).size(), litPixels(rpv(7), Red).size());
}

TEST_F(ImageListsTest, PointCellsDifferOnlyByTheLowestDot)
{
    for (int d = 1; d <= 10; ++d) {
        const QImage &plain = rpv(d), &pointed = rpv(d + 10);
        int changed = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 64; ++x)
                if (plain.pixel(x, y) != pointed.pixel(x, y)) {
                    ++changed;
                    EXPECT_GE(x, 48) << "digit " << d;
                    EXPECT_GE(y, 56) << "digit " << d;
                }
        EXPECT_GT(changed, 10) << d;
    }
}

TEST_F(ImageListsTest, BlankAndMinusCells)
{
    EXPECT_EQ(rpv(21), rpv(23));
    EXPECT_EQ(countColour(rpv(23), Red), 0);
    EXPECT_EQ(countColour(gpv(23), Green), 0);
    // Minus: the middle segment only, a horizontal bar across the centre.
    const auto minus = litPixels(rpv(22), Red);
    ASSERT_GT(minus.size(), 100u);
    for (const QPoint &p : minus) {
        EXPECT_GT(p.y(), 30);
        EXPECT_LT(p.y(), 50);
    }
}

TEST_F(ImageListsTest, GreenCellsLightTheSameSegmentsAsRedCells)
{
    for (int i = 1; i <= 23; ++i) {
        const auto red = litPixels(rpv(i), Red);
        const auto green = litPixels(gpv(i), Green);
        EXPECT_EQ(red, green) << i;
    }
}

TEST_F(ImageListsTest, StateButtonsCarryDistinctLegends)
{
    // Image 1 is a plain white button: no legend colour at all.
    const QImage &plain = wker(1);
    EXPECT_EQ(countPixels(plain, isColoured), 0);
    EXPECT_GT(countColour(plain, Qt::white), 384 * 80 / 2);
    auto amberish = [](QColor p) { return p.red() > 200 && p.green() > 120 && p.green() < 215 && p.blue() < 80; };
    for (int i = 2; i <= 14; ++i) {
        EXPECT_GT(countPixels(wker(i), amberish), 100) << i;
        for (int j = 1; j < i; ++j)
            EXPECT_NE(wker(i), wker(j)) << i << " and " << j;
    }
    // The menu button's large yellow letters.
    auto yellow = [](QColor p) { return p.red() > 230 && p.green() > 230 && p.blue() < 60; };
    EXPECT_GT(countPixels(wker(15), yellow), 1500);
    EXPECT_LT(countPixels(wker(9), yellow), 50);
}

TEST_F(ImageListsTest, GreyedIconsHaveNoColourAndTheirTwinsDo)
{
    for (int grey : {2, 4, 6}) {
        EXPECT_EQ(countPixels(icon(grey), isColoured), 0) << grey;
        EXPECT_GT(countPixels(icon(grey + 1), isColoured), 80) << grey + 1;
    }
    // Pen, brush and palette stay apart in both states.
    EXPECT_NE(icon(2), icon(4));
    EXPECT_NE(icon(4), icon(6));
    EXPECT_NE(icon(3), icon(5));
    EXPECT_NE(icon(5), icon(7));
}

TEST_F(ImageListsTest, LitLampsAreRedWithGreenLettersAndDarkLampsGrey)
{
    auto red = [](QColor p) { return p.red() > 200 && p.green() < 60 && p.blue() < 60; };
    auto green = [](QColor p) { return p.green() > 140 && p.red() < 80 && p.blue() < 80; };
    for (int dark : {8, 10}) {
        EXPECT_EQ(countPixels(icon(dark), isColoured), 0) << dark;
        EXPECT_GT(countPixels(icon(dark + 1), red), 800) << dark + 1;
        EXPECT_GT(countPixels(icon(dark + 1), green), 40) << dark + 1;
    }
    EXPECT_NE(icon(8), icon(10));   // "A1" and "A2"
    EXPECT_NE(icon(9), icon(11));
}
