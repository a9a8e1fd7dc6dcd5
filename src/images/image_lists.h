#pragma once

#include <QImage>
#include <array>
#include <vector>

namespace orbalis {

// The five image lists of the slot pictures, drawn in code at their stated
// pixel sizes. The bitmaps are built once per process and every ImageLists
// shares them (QImage is implicitly shared), so constructing one is cheap.
class ImageLists {
public:
    enum List {
        ImageList_RPV,     // 23 seven-segment cells, lit red, 64 x 80
        ImageList_GPV,     // the same cells lit teal green
        ImageList_WkEr,    // 15 state banners and the menu button, 384 x 80
        ImageList_Outl,    // 2 output bars (background, fill), 384 x 80
        ImageList_60x60,   // 11 icons (60 x 59) and alarm lamps (59 x 59)
    };
    static constexpr int ListCount = 5;

    ImageLists();

    // Image `index` of a list, counted from 1. Throws Error 9 outside 1..count.
    const QImage &image(List list, int index) const;
    int count(List list) const;

private:
    std::array<std::vector<QImage>, ListCount> lists_;
};

} // namespace orbalis
