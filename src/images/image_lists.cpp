#include "image_lists.h"

#include "button_images.h"
#include "icon_images.h"
#include "seven_segment_images.h"

#include "base/error.h"

namespace orbalis {

namespace {

std::array<std::vector<QImage>, ImageLists::ListCount> drawAllLists()
{
    std::array<std::vector<QImage>, ImageLists::ListCount> lists;
    lists[ImageLists::ImageList_RPV] = drawSevenSegmentList(SevenSegmentRed);
    lists[ImageLists::ImageList_GPV] = drawSevenSegmentList(SevenSegmentGreen);
    lists[ImageLists::ImageList_WkEr] = drawStateButtons();
    lists[ImageLists::ImageList_Outl] = drawOutputBars();
    lists[ImageLists::ImageList_60x60] = drawIcons();
    return lists;
}

} // namespace

ImageLists::ImageLists()
{
    // Drawing takes a few milliseconds; do it once, the copies share pixels.
    static const auto built = drawAllLists();
    lists_ = built;
}

int ImageLists::count(List list) const
{
    if (list < 0 || list >= ListCount)
        throw Error(SubscriptOutOfRange);
    return int(lists_[size_t(list)].size());
}

const QImage &ImageLists::image(List list, int index) const
{
    const int n = count(list);
    if (index < 1 || index > n)
        throw Error(SubscriptOutOfRange);
    return lists_[size_t(list)][size_t(index - 1)];
}

} // namespace orbalis
