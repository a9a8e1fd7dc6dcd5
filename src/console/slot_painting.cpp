#include "slot_painting.h"

#include "slot_picture.h"

#include "base/error.h"
#include "images/image_lists.h"
#include "model/status_word.h"

#include <algorithm>
#include <cstdlib>

namespace orbalis {

namespace {

// Slot layout in user units.
constexpr int CellWidth = 10, CellHeight = 20;
constexpr int PvRowY = 10, SvRowY = 30;
constexpr int IconSize = 10;
constexpr int LampY = 50, Lamp1X = 0, Lamp2X = 10;
constexpr int BannerX = 40, BannerY = 50, BannerWidth = 20, BannerHeight = 10;
constexpr int MenuX = 40, MenuWidth = 20;
constexpr int BarY = 60, BarWidth = 60, BarHeight = 10;

constexpr int BlankButton = 1, MenuButton = 15;
constexpr int PenGrey = 2, PenColour = 3, BrushGrey = 4, BrushColour = 5;
constexpr int PaletteGrey = 6, PaletteColour = 7;
constexpr int Lamp1Dark = 8, Lamp1Lit = 9, Lamp2Dark = 10, Lamp2Lit = 11;

int bigEndianAt(const QByteArray &reply, int at)
{
    return (std::uint8_t(reply[at]) << 8) | std::uint8_t(reply[at + 1]);
}

void paintRow(SlotPicture &picture, const ImageLists &images, ImageLists::List list, int y,
              int value, int dpCode)
{
    const auto cells = rowCellIndexes(value, dpCode);
    for (size_t i = 0; i < cells.size(); ++i)
        picture.paintImage(images.image(list, cells[i]), int(i) * CellWidth, y, CellWidth,
                           CellHeight);
}

} // namespace

LiveValues takeLiveValues(const QByteArray &reply)
{
    if (reply.size() < 11)
        throw Error(SubscriptOutOfRange);
    LiveValues v;
    v.pv = std::int16_t(bigEndianAt(reply, 3));
    v.sv = std::int16_t(bigEndianAt(reply, 5));
    v.output = std::uint16_t(bigEndianAt(reply, 7));
    v.status = std::uint16_t(bigEndianAt(reply, 9));
    return v;
}

Digit_Set splitDigits(int value)
{
    Digit_Set set;
    set.negative = value < 0;
    int a = std::abs(value);
    for (int i = 4; i >= 0; --i) {
        set.digits[size_t(i)] = a % 10;
        a /= 10;
    }
    return set;
}

int digitCellIndex(int digit, bool point)
{
    return (digit == 0 ? 10 : digit) + (point ? 10 : 0);
}

std::array<int, 6> rowCellIndexes(int value, int dpCode)
{
    // Digit position (0 = ten thousands) that carries the point, and the last
    // position that may be blanked as a leading zero.
    int pointAt = -1, lastBlank = 3;
    switch (dpCode) {
    case 48: pointAt = 3; lastBlank = 2; break;
    case 49: pointAt = 2; lastBlank = 1; break;
    case 50: pointAt = 1; lastBlank = 0; break;
    default: break;
    }
    const Digit_Set set = splitDigits(value);
    std::array<int, 6> cells{};
    cells[0] = set.negative ? MinusCell : BlankCell;
    bool leading = true;
    for (int i = 0; i < 5; ++i) {
        const int d = set.digits[size_t(i)];
        leading = leading && d == 0 && i <= lastBlank;
        cells[size_t(i + 1)] = leading ? BlankCell : digitCellIndex(d, i == pointAt);
    }
    return cells;
}

int outputBarWidth(std::uint16_t output)
{
    return std::min<int>(output, 1000) * BarWidth / 1000;
}

int stateBannerIndex(std::uint16_t status)
{
    if (const int error = shownErrorCode(status))
        return 1 + error;        // 2 Input Open .. 7 Low Error
    if ((status >> 12) != 0)
        return BlankButton;
    const int mode = (status >> 8) & 0xF;
    return mode <= 6 ? 8 + mode : BlankButton;   // 8 Off .. 14 Hold
}

std::array<int, 2> alarmLampIndexes(std::uint16_t status)
{
    const std::uint8_t lit = litAlarmLamps(status);
    return {lit & Alarm1Lamp ? Lamp1Lit : Lamp1Dark, lit & Alarm2Lamp ? Lamp2Lit : Lamp2Dark};
}

void Paint_Slot_Frame(SlotPicture &picture, const ImageLists &images, bool recording,
                      bool marked, bool bound)
{
    picture.clear();
    const QImage &blank = images.image(ImageLists::ImageList_RPV, BlankCell);
    for (int j = 0; j < 6; ++j) {
        picture.paintImage(blank, CellWidth * j, PvRowY, CellWidth, CellHeight);
        picture.paintImage(blank, CellWidth * j, SvRowY, CellWidth, CellHeight);
    }
    paintPenIcon(picture, images, recording);
    paintBrushIcon(picture, images, marked);
    picture.paintImage(images.image(ImageLists::ImageList_60x60,
                                    bound ? PaletteColour : PaletteGrey),
                       20, 0, IconSize, IconSize);
    picture.paintImage(images.image(ImageLists::ImageList_WkEr, bound ? MenuButton : BlankButton),
                       MenuX, 0, MenuWidth, IconSize);
    picture.paintImage(images.image(ImageLists::ImageList_60x60, Lamp1Dark), Lamp1X, LampY,
                       IconSize, IconSize);
    picture.paintImage(images.image(ImageLists::ImageList_60x60, Lamp2Dark), Lamp2X, LampY,
                       IconSize, IconSize);
    const QImage &white = images.image(ImageLists::ImageList_WkEr, BlankButton);
    picture.paintImage(white, BannerX, BannerY, BannerWidth, BannerHeight);
    picture.paintImage(white, 0, BarY, BarWidth, BarHeight);
}

void Show_Slot_Values(SlotPicture &picture, const ImageLists &images, const QByteArray &reply,
                      int dpCode)
{
    const LiveValues v = takeLiveValues(reply);

    picture.paintImage(images.image(ImageLists::ImageList_Outl, 1), 0, BarY, BarWidth, BarHeight);
    const int w = outputBarWidth(v.output);
    if (w > 0)
        picture.paintImage(images.image(ImageLists::ImageList_Outl, 2), 0, BarY, w, BarHeight);

    paintRow(picture, images, ImageLists::ImageList_GPV, SvRowY, v.sv, dpCode);
    paintRow(picture, images, ImageLists::ImageList_RPV, PvRowY, v.pv, dpCode);

    picture.paintImage(images.image(ImageLists::ImageList_WkEr, stateBannerIndex(v.status)),
                       BannerX, BannerY, BannerWidth, BannerHeight);
    const auto lamps = alarmLampIndexes(v.status);
    picture.paintImage(images.image(ImageLists::ImageList_60x60, lamps[0]), Lamp1X, LampY,
                       IconSize, IconSize);
    picture.paintImage(images.image(ImageLists::ImageList_60x60, lamps[1]), Lamp2X, LampY,
                       IconSize, IconSize);
}

void paintPenIcon(SlotPicture &picture, const ImageLists &images, bool on)
{
    picture.paintImage(images.image(ImageLists::ImageList_60x60, on ? PenColour : PenGrey), 0, 0,
                       IconSize, IconSize);
}

void paintBrushIcon(SlotPicture &picture, const ImageLists &images, bool on)
{
    picture.paintImage(images.image(ImageLists::ImageList_60x60, on ? BrushColour : BrushGrey),
                       10, 0, IconSize, IconSize);
}

} // namespace orbalis
