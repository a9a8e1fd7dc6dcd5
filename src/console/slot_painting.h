#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

namespace orbalis {

class ImageLists;
class SlotPicture;

// The four live values a slot shows, from the reply to the PV read.
struct LiveValues {
    std::int16_t pv = 0;        // bytes 3, 4
    std::int16_t sv = 0;        // bytes 5, 6
    std::uint16_t output = 0;   // bytes 7, 8: 0..1000 for 0..100.0 %
    std::uint16_t status = 0;   // bytes 9, 10: error code, work mode, alarms
};
// Throws Error 9 for a reply shorter than 11 bytes.
LiveValues takeLiveValues(const QByteArray &reply);

// A value split for a seven-segment row: the sign and the five digits,
// digits[0] = ten thousands ... digits[4] = units.
struct Digit_Set {
    bool negative = false;
    std::array<int, 5> digits{};
};
Digit_Set splitDigits(int value);

// Seven-segment image of a digit: the digit itself, 10 for 0; with the
// decimal point 10 more.
int digitCellIndex(int digit, bool point);
constexpr int MinusCell = 22;
constexpr int BlankCell = 23;

// The six image indexes of a row, sign cell first, for a value and the
// slot's decimal-point code (48, 49, 50: 1, 2, 3 decimals; others none).
std::array<int, 6> rowCellIndexes(int value, int dpCode);

// Width of the red output bar in slot units, 0..60.
int outputBarWidth(std::uint16_t output);
// ImageList_WkEr index of the state banner for a status word.
int stateBannerIndex(std::uint16_t status);
// ImageList_60x60 indexes of alarm lamp 1 (8 dark, 9 lit) and 2 (10, 11).
std::array<int, 2> alarmLampIndexes(std::uint16_t status);

// The static frame: clears the picture, blanks both rows, paints the icons,
// the menu button, dark lamps, an empty banner and an empty bar.
void Paint_Slot_Frame(SlotPicture &picture, const ImageLists &images, bool recording,
                      bool marked, bool bound);

// Bar, SV row, PV row, banner and lamps from a live-value reply: 16 bitmaps,
// 17 when the bar has a red part. All four values are taken first, so a short
// reply (Error 9) leaves the picture untouched.
void Show_Slot_Values(SlotPicture &picture, const ImageLists &images, const QByteArray &reply,
                      int dpCode);

// The pen icon (coloured while recording) and the brush icon (coloured while marked).
void paintPenIcon(SlotPicture &picture, const ImageLists &images, bool on);
void paintBrushIcon(SlotPicture &picture, const ImageLists &images, bool on);

} // namespace orbalis
