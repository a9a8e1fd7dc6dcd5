#include "console/slot_painting.h"
#include "console/scaled_image_cache.h"
#include "console/slot_picture.h"

#include "base/error.h"
#include "images/image_lists.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QProcess>

#include <cmath>
#include <limits>

using namespace orbalis;

namespace {

using L = ImageLists;

// A reply to the PV read of controller 1; only the first four registers
// matter here.
QByteArray pvReply(int pv, int sv, int output, int status)
{
    return test::liveReply(1, {{4096, std::uint16_t(pv)},
                               {4097, std::uint16_t(sv)},
                               {4098, std::uint16_t(output)},
                               {4099, std::uint16_t(status)}});
}

// Mean absolute channel difference between two images of the same size.
double difference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

class SlotPaintingTest : public ::testing::Test {
protected:
    SlotPaintingTest()
    {
        picture.resize(300, 350);   // 5 pixels per unit
        Paint_Slot_Frame(picture, lists, false, false, true);
    }

    // Which image of the list the rectangle (user units) shows: the closest
    // of all, which must also be a close match (the stretching filter is free).
    int shown(L::List list, int x, int y, int w, int h) const
    {
        const QRect r = picture.pixelRect(x, y, w, h);
        const QImage cut = picture.picture().copy(r).convertToFormat(QImage::Format_RGB32);
        int best = 0;
        double bestDiff = std::numeric_limits<double>::max();
        for (int i = 1; i <= lists.count(list); ++i) {
            const QImage ref = lists.image(list, i)
                                   .scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                   .convertToFormat(QImage::Format_RGB32);
            const double d = difference(cut, ref);
            if (d <= bestDiff) {   // on a tie the later one: blank 23 rather than 21
                best = i;
                bestDiff = d;
            }
        }
        EXPECT_LT(bestDiff, 6.0) << "nothing of list " << list << " at " << x << "," << y;
        return best;
    }

    std::array<int, 6> row(L::List list, int y) const
    {
        std::array<int, 6> cells{};
        for (int j = 0; j < 6; ++j)
            cells[size_t(j)] = shown(list, 10 * j, y, 10, 20);
        return cells;
    }
    std::array<int, 6> pvRow() const { return row(L::ImageList_RPV, 10); }
    std::array<int, 6> svRow() const { return row(L::ImageList_GPV, 30); }

    // Columns of the bar's middle line that are red.
    int redBarColumns() const
    {
        const QRect bar = picture.pixelRect(0, 60, 60, 10);
        int n = 0;
        for (int x = bar.left(); x <= bar.right(); ++x) {
            const QColor c = picture.picture().pixelColor(x, bar.center().y());
            n += (c.red() > c.green() + 80 && c.red() > c.blue() + 80) ? 1 : 0;
        }
        return n;
    }

    QApplication &app = test::qtApp();
    ImageLists lists;
    SlotPicture picture;
};

using Cells = std::array<int, 6>;

} // namespace

// ---- rows -----------------------------------------------------------------

TEST(SlotRowCells, SplitsSignAndFiveDigits)
{
    const Digit_Set d = splitDigits(-32768);
    EXPECT_TRUE(d.negative);
    EXPECT_EQ(d.digits, (std::array<int, 5>{3, 2, 7, 6, 8}));
    EXPECT_FALSE(splitDigits(0).negative);
    EXPECT_EQ(splitDigits(10005).digits, (std::array<int, 5>{1, 0, 0, 0, 5}));
    EXPECT_EQ(digitCellIndex(0, false), 10);
    EXPECT_EQ(digitCellIndex(0, true), 20);
    EXPECT_EQ(digitCellIndex(7, true), 17);
}

TEST(SlotRowCells, BlankingStopsAtTheFirstDigitAndBeforeThePoint)
{
    struct Case { int value; int dp; Cells cells; };
    for (const Case &c : {
             Case{0, 47, {23, 23, 23, 23, 23, 10}},
             Case{0, 48, {23, 23, 23, 23, 20, 10}},
             Case{0, 49, {23, 23, 23, 20, 10, 10}},
             Case{0, 50, {23, 23, 20, 10, 10, 10}},
             Case{5, 50, {23, 23, 20, 10, 10, 5}},         // 0.005
             Case{12345, 50, {23, 1, 12, 3, 4, 5}},        // 12.345
             Case{-7, 0, {22, 23, 23, 23, 23, 7}},         // unknown code: no decimals
             Case{900, 51, {23, 23, 23, 9, 10, 10}},
             Case{32767, 48, {23, 3, 2, 7, 16, 7}},
         }) {
        EXPECT_EQ(rowCellIndexes(c.value, c.dp), c.cells) << c.value << " code " << c.dp;
    }
}

TEST_F(SlotPaintingTest, EdgeValuesShowInBothRows)
{
    struct Case { int value; int dp; Cells cells; };
    for (const Case &c : {
             Case{0, 47, {23, 23, 23, 23, 23, 10}},        // PV 0, no decimals
             Case{-5, 48, {22, 23, 23, 23, 20, 5}},        // -0.5, gap after the minus
             Case{1000, 49, {23, 23, 1, 20, 10, 10}},      // 10.00
             Case{10005, 47, {23, 1, 10, 10, 10, 5}},      // inner zeros stay
             Case{-32768, 47, {22, 3, 2, 7, 6, 8}},
         }) {
        // The same value as PV with SV 1, then as SV with PV 1: each row
        // shows its own register, in its own colour.
        Show_Slot_Values(picture, lists, pvReply(c.value, 1, 0, 0), c.dp);
        EXPECT_EQ(pvRow(), c.cells) << "PV " << c.value;
        EXPECT_EQ(svRow(), rowCellIndexes(1, c.dp)) << "SV beside PV " << c.value;
        Show_Slot_Values(picture, lists, pvReply(1, c.value, 0, 0), c.dp);
        EXPECT_EQ(svRow(), c.cells) << "SV " << c.value;
        EXPECT_EQ(pvRow(), rowCellIndexes(1, c.dp)) << "PV beside SV " << c.value;
    }
}

// ---- bar, banner, lamps -----------------------------------------------------

TEST_F(SlotPaintingTest, OutputBarWidths)
{
    struct Case { int output; int units; };
    for (const Case &c : {Case{1000, 60}, Case{0, 0}, Case{500, 30}, Case{999, 59},
                          Case{1200, 60}, Case{65535, 60}, Case{16, 0}, Case{17, 1}}) {
        EXPECT_EQ(outputBarWidth(std::uint16_t(c.output)), c.units) << c.output;
        Show_Slot_Values(picture, lists, pvReply(0, 0, c.output, 0), 47);
        const int expected = c.units ? picture.pixelRect(0, 60, c.units, 10).width() : 0;
        EXPECT_NEAR(redBarColumns(), expected, 1) << "output " << c.output;
    }
    // After a full bar, output 0 leaves only the grey background.
    Show_Slot_Values(picture, lists, pvReply(0, 0, 1000, 0), 47);
    Show_Slot_Values(picture, lists, pvReply(0, 0, 0, 0), 47);
    EXPECT_EQ(redBarColumns(), 0);
    EXPECT_EQ(shown(L::ImageList_Outl, 0, 60, 60, 10), 1);
}

TEST(SlotStatusWord, BannerTable)
{
    const int modes[16] = {8, 9, 10, 11, 12, 13, 14, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    for (int mode = 0; mode < 16; ++mode)
        EXPECT_EQ(stateBannerIndex(std::uint16_t((mode << 8) | 0x00F3)), modes[mode]) << mode;
    for (int error = 1; error < 16; ++error) {
        const int expected = error <= 6 ? error + 1 : 1;
        for (int mode : {0, 3, 15})   // the error hides the work mode
            EXPECT_EQ(stateBannerIndex(std::uint16_t((error << 12) | (mode << 8))), expected)
                << error << "/" << mode;
    }
}

TEST(SlotStatusWord, LampTableUsesTheLowNibbleOnly)
{
    using Lamps = std::array<int, 2>;
    EXPECT_EQ(alarmLampIndexes(0x0000), (Lamps{8, 10}));
    EXPECT_EQ(alarmLampIndexes(0x0001), (Lamps{9, 10}));
    EXPECT_EQ(alarmLampIndexes(0x0002), (Lamps{8, 11}));
    EXPECT_EQ(alarmLampIndexes(0xFFF3), (Lamps{9, 11}));
    for (int low = 4; low < 16; ++low)
        EXPECT_EQ(alarmLampIndexes(std::uint16_t(0x0100 | low)), (Lamps{8, 10})) << low;
    EXPECT_EQ(alarmLampIndexes(0x00F0), (Lamps{8, 10}));   // bits 4 to 7 unused
}

TEST_F(SlotPaintingTest, BannerAndLampsFromTheStatusWord)
{
    struct Case { int status; int banner; int lamp1; int lamp2; };
    for (const Case &c : {Case{0x0103, 9, 9, 11}, Case{0x2105, 3, 8, 10},
                          Case{0x0700, 1, 8, 10}, Case{0x9000, 1, 8, 10},
                          Case{0x0601, 14, 9, 10}, Case{0x6002, 7, 8, 11},
                          Case{0x0000, 8, 8, 10}}) {
        Show_Slot_Values(picture, lists, pvReply(0, 0, 0, c.status), 47);
        EXPECT_EQ(shown(L::ImageList_WkEr, 40, 50, 20, 10), c.banner) << std::hex << c.status;
        EXPECT_EQ(shown(L::ImageList_60x60, 0, 50, 10, 10), c.lamp1) << std::hex << c.status;
        EXPECT_EQ(shown(L::ImageList_60x60, 10, 50, 10, 10), c.lamp2) << std::hex << c.status;
    }
}

// ---- what a reply touches ---------------------------------------------------

TEST_F(SlotPaintingTest, ShortReplyPaintsNothing)
{
    Show_Slot_Values(picture, lists, pvReply(123, 456, 500, 0x0103), 48);
    const QImage before = picture.picture().copy();
    const int painted = picture.imagesPainted();
    for (int size : {0, 3, 10}) {
        try {
            Show_Slot_Values(picture, lists, pvReply(-1, -1, 1000, 0x2000).left(size), 48);
            ADD_FAILURE() << "no error for " << size << " bytes";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), SubscriptOutOfRange);
        }
    }
    EXPECT_EQ(picture.imagesPainted(), painted);
    EXPECT_EQ(picture.picture(), before);
    // Eleven bytes are enough.
    EXPECT_NO_THROW(Show_Slot_Values(picture, lists, pvReply(0, 0, 0, 0).left(11), 48));
}

TEST_F(SlotPaintingTest, ValuesRepaintOnlyTheirBitmapsAndKeepIconsAndName)
{
    Paint_Slot_Frame(picture, lists, true, true, true);
    picture.printText(20, 50, QStringLiteral("Oven 1"), 12);
    auto outsideValues = [&] {
        QImage img = picture.picture().copy();
        // Blank out what a reply may paint, keep the rest: top row and name.
        QPainter p(&img);
        for (QRect r : {picture.pixelRect(0, 10, 60, 40), picture.pixelRect(0, 50, 20, 10),
                        picture.pixelRect(40, 50, 20, 10), picture.pixelRect(0, 60, 60, 10)})
            p.fillRect(r, Qt::black);
        return img;
    };
    const QImage kept = outsideValues();

    int before = picture.imagesPainted();
    Show_Slot_Values(picture, lists, pvReply(1234, -56, 0, 0x0102), 48);
    EXPECT_EQ(picture.imagesPainted() - before, 16);   // grey bar only
    before = picture.imagesPainted();
    Show_Slot_Values(picture, lists, pvReply(1234, -56, 800, 0x0102), 48);
    EXPECT_EQ(picture.imagesPainted() - before, 17);   // grey and red bar
    EXPECT_EQ(outsideValues(), kept);
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 0, 10, 10), 3);
    EXPECT_EQ(shown(L::ImageList_WkEr, 40, 0, 20, 10), 15);
}

// ---- frame ------------------------------------------------------------------

TEST_F(SlotPaintingTest, FrameOfAnUnboundSlot)
{
    Show_Slot_Values(picture, lists, pvReply(999, 999, 1000, 0x0103), 47);
    Paint_Slot_Frame(picture, lists, false, false, false);
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 0, 10, 10), 2);     // pen grey
    EXPECT_EQ(shown(L::ImageList_60x60, 10, 0, 10, 10), 4);    // brush grey
    EXPECT_EQ(shown(L::ImageList_60x60, 20, 0, 10, 10), 6);    // palette grey
    EXPECT_EQ(shown(L::ImageList_WkEr, 40, 0, 20, 10), 1);     // blank menu button
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 50, 10, 10), 8);
    EXPECT_EQ(shown(L::ImageList_60x60, 10, 50, 10, 10), 10);
    EXPECT_EQ(shown(L::ImageList_WkEr, 40, 50, 20, 10), 1);
    EXPECT_EQ(shown(L::ImageList_WkEr, 0, 60, 60, 10), 1);     // the white button, not the bar
    EXPECT_EQ(pvRow(), (Cells{23, 23, 23, 23, 23, 23}));
    EXPECT_EQ(row(L::ImageList_RPV, 30), (Cells{23, 23, 23, 23, 23, 23}));
    EXPECT_EQ(redBarColumns(), 0);
    // The empty place between palette and menu shows the background.
    const QRect gap = picture.pixelRect(30, 0, 10, 10);
    const QColor window = picture.palette().color(QPalette::Window);
    EXPECT_EQ(picture.picture().pixelColor(gap.center()), window);
    EXPECT_EQ(picture.picture().pixelColor(gap.topLeft()), window);
}

TEST_F(SlotPaintingTest, FrameOfABoundSlotAndTheIconToggles)
{
    Paint_Slot_Frame(picture, lists, true, true, true);
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 0, 10, 10), 3);
    EXPECT_EQ(shown(L::ImageList_60x60, 10, 0, 10, 10), 5);
    EXPECT_EQ(shown(L::ImageList_60x60, 20, 0, 10, 10), 7);
    EXPECT_EQ(shown(L::ImageList_WkEr, 40, 0, 20, 10), 15);
    paintPenIcon(picture, lists, false);
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 0, 10, 10), 2);
    EXPECT_EQ(shown(L::ImageList_60x60, 10, 0, 10, 10), 5);
    paintBrushIcon(picture, lists, false);
    EXPECT_EQ(shown(L::ImageList_60x60, 10, 0, 10, 10), 4);
    paintPenIcon(picture, lists, true);
    EXPECT_EQ(shown(L::ImageList_60x60, 0, 0, 10, 10), 3);
}

// ---- scaled bitmaps ------------------------------------------------------------

TEST(ScaledImageCache, SamePixelsAsScalingBoundedAndNeverStale)
{
    ScaledImageCache cache(64 * 1024);
    QImage source(60, 60, QImage::Format_ARGB32);
    source.fill(qRgba(200, 30, 40, 255));
    QPainter(&source).fillRect(10, 10, 20, 5, Qt::white);

    // What the slots get is exactly Qt's smooth scaling, kept or not.
    for (QSize size : {QSize(25, 25), QSize(7, 40), QSize(25, 25), QSize(120, 1)}) {
        const QImage expected = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_EQ(cache.scaled(source, size), expected) << size.width() << "x" << size.height();
    }
    EXPECT_EQ(cache.count(), 3);

    // Pixels drawn into the source afterwards show at once.
    source.fill(Qt::blue);
    EXPECT_EQ(cache.scaled(source, QSize(25, 25)).pixel(12, 12), qRgb(0, 0, 255));

    // Many sizes (the output bar's widths) stay within the bound, and a
    // bitmap larger than the whole cache is scaled but not kept.
    for (int w = 1; w <= 200; ++w)
        cache.scaled(source, QSize(w, 25));
    EXPECT_LE(cache.bytesHeld(), 64 * 1024);
    const qsizetype held = cache.count();
    EXPECT_EQ(cache.scaled(source, QSize(200, 200)).size(), QSize(200, 200));
    EXPECT_LE(cache.count(), held);
}

// ---- the picture widget -------------------------------------------------------

TEST(SlotPictureWidget, NeighbouringRectanglesTileWithoutGaps)
{
    test::qtApp();
    QImage one(4, 4, QImage::Format_RGB32);
    for (QSize size : {QSize(97, 113), QSize(301, 349), QSize(61, 71), QSize(1000, 37)}) {
        SlotPicture picture;
        picture.resize(size);
        picture.clear();
        for (int y = 0; y < 70; y += 10)
            for (int x = 0; x < 60; x += 10) {
                one.fill(((x + y) / 10) % 2 ? Qt::black : Qt::white);
                picture.paintImage(one, x, y, 10, 10);
                const QRect r = picture.pixelRect(x, y, 10, 10);
                if (x + 10 < 60) {
                    EXPECT_EQ(r.right() + 1, picture.pixelRect(x + 10, y, 10, 10).left());
                }
            }
        const QImage &img = picture.picture();
        ASSERT_EQ(img.size(), size);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y);
                ASSERT_TRUE(p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255))
                    << size.width() << "x" << size.height() << " gap at " << x << "," << y;
            }
        EXPECT_EQ(picture.pixelRect(0, 0, 60, 70), QRect(QPoint(0, 0), size));
    }
}

TEST(SlotPictureWidget, ClearResizeAndText)
{
    test::qtApp();
    SlotPicture picture;
    QPalette pal = picture.palette();
    pal.setColor(QPalette::Window, QColor(10, 20, 30));
    picture.setPalette(pal);
    picture.resize(120, 140);
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    picture.paintImage(red, 0, 0, 60, 70);
    picture.clear();
    EXPECT_EQ(picture.picture().pixelColor(60, 70), QColor(10, 20, 30));

    // A resize keeps nothing of the old drawing.
    picture.paintImage(red, 0, 0, 60, 70);
    picture.resize(240, 100);
    picture.paintImage(red, 0, 0, 10, 10);
    EXPECT_EQ(picture.picture().size(), QSize(240, 100));
    EXPECT_EQ(picture.picture().pixelColor(200, 80), QColor(10, 20, 30));
    EXPECT_EQ(picture.picture().pixelColor(20, 7), QColor(Qt::red));

    // Text starts at its position, in teal, and nothing above it changes.
    picture.clear();
    picture.printText(20, 50, QStringLiteral("爐 Oven"), 10);
    const QImage &img = picture.picture();
    const QRect from = picture.pixelRect(20, 50, 40, 20);
    int teal = 0, elsewhere = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (!from.contains(x, y))
                elsewhere += c != QColor(10, 20, 30) ? 1 : 0;
            else
                teal += c == SlotPicture::textColour() ? 1 : 0;
        }
    EXPECT_GT(teal, 10);
    EXPECT_EQ(elsewhere, 0);
}

TEST(SlotPictureWidget, ZeroSizeAndZeroWidthDrawNothing)
{
    test::qtApp();
    SlotPicture picture;
    picture.resize(0, 0);
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    picture.clear();
    picture.paintImage(red, 0, 0, 10, 10);
    picture.printText(0, 0, QStringLiteral("x"), 10);
    EXPECT_TRUE(picture.picture().isNull());

    picture.resize(60, 70);
    picture.clear();
    const QImage before = picture.picture().copy();
    picture.paintImage(red, 0, 60, 0, 10);   // an output bar of width 0
    picture.paintImage(QImage(), 0, 0, 10, 10);
    EXPECT_EQ(picture.picture(), before);
}

// ---- the name at a device pixel ratio of 2 -----------------------------------------

namespace {

// Pixels outside the name row (y 50 to 60) that printing the name changed,
// and pixels inside it that took on the text colour, teal, fully or blended
// with what was there (thin strokes of small text have no pixel of pure teal).
struct NameInk {
    int outsideRow = 0;
    int tealInRow = 0;
};

NameInk printAndSample(SlotPicture &picture, const ImageLists &lists, const QString &name, int pointSize)
{
    Paint_Slot_Frame(picture, lists, false, false, true);
    const QImage before = picture.picture().copy();
    picture.printText(20, 50, name, pointSize);
    const QImage &after = picture.picture();
    const QRect row = picture.pixelRect(0, 50, 60, 10);
    NameInk ink;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            if (after.pixel(x, y) == before.pixel(x, y))
                continue;
            const QColor c = after.pixelColor(x, y);
            if (!row.contains(x, y))
                ++ink.outsideRow;
            else if (c.green() > c.red() + 20 && c.blue() > c.red() + 20)
                ++ink.tealInRow;
        }
    return ink;
}

} // namespace

TEST(SlotNameAtScaleTwo, StaysInsideTheNameRow)
{
    // The scale factor is read when the application starts; each test runs
    // in a process of its own under CTest. Run as part of the whole program,
    // this test runs itself once more in a fresh process.
    if (!QCoreApplication::instance())
        qputenv("QT_SCALE_FACTOR", "2");
    test::qtApp();
    SlotPicture picture;
    if (picture.devicePixelRatioF() != 2.0) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=SlotNameAtScaleTwo.StaysInsideTheNameRow")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
        return;
    }

    ImageLists lists;
    const QString names[] = {QStringLiteral("Oven1"), QStringLiteral("---"),
                             QStringLiteral("Typography gj|"), QStringLiteral("爐 Oven"),
                             QStringLiteral("爐溫控制")};
    // Slot sizes in logical pixels: the design window, a window maximised on
    // a 2560 by 1600 screen shown as 1280 by 800, a small one, and a tall one
    // where the largest size of the table fits. q = 10: a maximised window.
    // The sizes in between depend on the face that stands in for DotumChe.
    struct Case {
        QSize slot;
        bool tableSizeFits;
    };
    for (const Case &c : {Case{{123, 82}, false}, Case{{288, 164}, false}, Case{{60, 40}, false},
                          Case{{288, 340}, true}}) {
        picture.resize(c.slot);
        picture.clear();
        const int size = picture.nameFontSize(10);
        SCOPED_TRACE(QStringLiteral("%1x%2 at %3 pt").arg(c.slot.width()).arg(c.slot.height()).arg(size)
                         .toStdString());
        EXPECT_EQ(picture.picture().height(), 2 * c.slot.height());
        if (c.tableSizeFits) {
            EXPECT_EQ(size, 22);
        } else {
            EXPECT_GT(size, 0);
            EXPECT_LT(size, 22);
        }
        for (const QString &name : names) {
            const NameInk ink = printAndSample(picture, lists, name, size);
            EXPECT_EQ(ink.outsideRow, 0) << name.toStdString();
            EXPECT_GT(ink.tealInRow, 0) << name.toStdString();
        }
        // The table's size alone would have run out of the row on the lower slots.
        if (size < 22) {
            EXPECT_GT(printAndSample(picture, lists, QStringLiteral("Oven1"), 22).outsideRow, 0);
        }
    }
}

// ---- bitmaps a rectangle already shows ----------------------------------------

TEST_F(SlotPaintingTest, AnyRunOfRepliesLeavesThePictureAsOneReplyPaintedAfreshWould)
{
    // Each run ends on its last reply; whatever the picture skipped as
    // already shown, it must then look as a fresh frame with that reply.
    struct Step {
        QByteArray reply;
        int dpCode = 48;
        enum { Reply, Frame, TextOverPv } what = Reply;
    };
    const QByteArray a = pvReply(1234, -56, 800, 0x0103);
    const QByteArray b = pvReply(1235, -56, 0, 0x0000);
    const struct {
        const char *name;
        std::vector<Step> steps;
    } runs[] = {
        {"the same reply thrice", {{a}, {a}, {a}}},
        {"values change and come back", {{a}, {b}, {a}}},
        {"the bar empties and fills, lamps go dark and light", {{b}, {a}, {b}, {a}}},
        {"the decimal point moves", {{a, 48}, {a, 49}, {a, 50}, {a, 48}}},
        {"a new frame between two equal replies", {{a}, {{}, 48, Step::Frame}, {a}}},
        {"text over the PV row between two equal replies", {{a}, {{}, 48, Step::TextOverPv}, {a}}},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.name);
        SlotPicture fresh;
        fresh.resize(picture.size());
        Paint_Slot_Frame(picture, lists, false, false, true);
        const Step *last = nullptr;
        for (const Step &step : run.steps) {
            switch (step.what) {
            case Step::Reply:
                Show_Slot_Values(picture, lists, step.reply, step.dpCode);
                last = &step;
                break;
            case Step::Frame: Paint_Slot_Frame(picture, lists, false, false, true); break;
            case Step::TextOverPv: picture.printText(0, 12, QStringLiteral("8888888888"), 10); break;
            }
        }
        ASSERT_NE(last, nullptr);
        Paint_Slot_Frame(fresh, lists, false, false, true);
        Show_Slot_Values(fresh, lists, last->reply, last->dpCode);
        EXPECT_EQ(picture.picture(), fresh.picture());
    }
}
