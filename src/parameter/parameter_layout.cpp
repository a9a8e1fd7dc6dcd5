#include "parameter_layout.h"

#include <algorithm>

namespace orbalis {

namespace {

// The frames of the window: caption, page, left and top relative to the tab
// control. Width and height follow from the frame's neighbours and rows
// unless given. `groupStart` is the first address of a second group of rows
// that stands apart from the first.
struct FrameSpec {
    std::string_view caption;
    Page page;
    int left;
    int top;
    int width = 0;
    int height = 0;
    int groupStart = -1;
};

constexpr Page L = Page::LeftColumn, U = Page::User, P = Page::PID, O = Page::Option,
               Out = Page::Output, Pr = Page::Program, A = Page::Aux;

const FrameSpec FrameTable[] = {
    // Over the tab control, on every page: window (210, 525).
    {"Control Settings", L, 105, 420, 2115, 1380},
    {"Ramp", U, 2310, 420},
    {"Soft-start", U, 2310, 1365},
    {"Alarm 1", U, 4095, 420},
    {"Alarm 2", U, 5880, 420},
    {"Control Action", U, 7665, 420},
    {"1st P.I.D", P, 2310, 420},
    {"2nd P.I.D", P, 4095, 420},
    {"3rd P.I.D", P, 5880, 420},
    {"4th P.I.D", P, 7665, 420},
    {"Input Type", O, 2310, 420},
    {"Scal of Linear I/P", O, 2310, 1680},
    {"Measurement Unit", O, 2310, 3255},
    {"Measurement range", O, 4410, 420},
    {"Time unit", O, 4410, 1680},
    {"corresponding error", O, 4410, 2625},
    {"Filter settings", O, 4410, 3570},
    {"Offset Adjustment", O, 7140, 420, 0, 0, 105},
    {"Communication settings", O, 7140, 3255},
    {"Output Settings", Out, 2310, 420, 0, 0, 102},
    // In the left column, below "Control Settings" and as wide.
    {"Program Setting", Pr, 105, 1890, 2115},
    {"Seg 1", Pr, 2310, 420},
    {"Seg 2", Pr, 2310, 2520},
    {"Seg 3", Pr, 4095, 420},
    {"Seg 4", Pr, 4095, 2520},
    {"Seg 5", Pr, 5880, 420},
    {"Seg 6", Pr, 5880, 2520},
    {"Seg 7", Pr, 7665, 420},
    {"Seg 8", Pr, 7665, 2520},
    {"Read-Only", A, 2310, 420},
    {"P.I.D Input", A, 4095, 420},
    {"P.I.D Factor", A, 5880, 420},
    {"P.I.D Output", A, 7665, 420},
    {"A/D", A, 7665, 2835},
};

// A frame never grows wider than this, even alone on its page.
constexpr int MaxFrameWidth = 2625;
bool hasControl(const RegisterInfo &r)
{
    return r.control != ControlKind::None;
}

std::vector<const RegisterInfo *> rowsOf(const FrameSpec &spec)
{
    std::vector<const RegisterInfo *> rows;
    for (auto table : {holdingRegisters(), inputRegisters()})
        for (const RegisterInfo &r : table)
            if (hasControl(r) && r.page == spec.page && r.frame == spec.caption)
                rows.push_back(&r);
    return rows;
}

int rowTop(int row, bool afterGap)
{
    return RowStep * (row + 1) + (afterGap ? GroupGap : 0);
}

struct Layout {
    std::vector<FrameLayout> frames;
    std::vector<int> addresses;
    Layout();
};

Layout::Layout()
{
    // Rows and heights first: a frame's width depends on its neighbours' heights.
    std::vector<std::vector<const RegisterInfo *>> rows;
    for (const FrameSpec &spec : FrameTable) {
        rows.push_back(rowsOf(spec));
        const auto &mine = rows.back();
        bool gap = false;
        int lastTop = 0;
        for (size_t i = 0; i < mine.size(); ++i) {
            gap = gap || mine[i]->address == spec.groupStart;
            lastTop = rowTop(int(i), gap);
        }
        const int height = spec.height ? spec.height : lastTop + RowHeight + FrameInset;
        frames.push_back({spec.caption, spec.page, QRect(spec.left, spec.top, 0, height), {}});
    }

    for (size_t f = 0; f < frames.size(); ++f) {
        const FrameSpec &spec = FrameTable[f];
        FrameLayout &frame = frames[f];
        int width = spec.width;
        if (!width) {
            // Up to the nearest frame to the right that shares some height with this one.
            int right = SSTabWidth;
            for (const FrameLayout &other : frames) {
                const bool sameRows =
                    other.rect.top() < frame.rect.bottom() && frame.rect.top() < other.rect.bottom();
                if (sameRows && other.page == frame.page && other.rect.left() > frame.rect.left())
                    right = std::min(right, other.rect.left());
            }
            width = std::min(right - spec.left - FrameGap, MaxFrameWidth);
        }
        frame.rect.setWidth(width);

        bool gap = false;
        for (size_t i = 0; i < rows[f].size(); ++i) {
            const int address = rows[f][i]->address;
            gap = gap || address == spec.groupStart;
            frame.rows.push_back({address, rowTop(int(i), gap)});
            addresses.push_back(address);
        }
    }
    std::sort(addresses.begin(), addresses.end());
}

const Layout &layout()
{
    static const Layout l;
    return l;
}

} // namespace

int tabOfPage(Page page)
{
    switch (page) {
    case Page::User: return 0;
    case Page::PID: return 1;
    case Page::Option: return 2;
    case Page::Output: return 3;
    case Page::Program: return 4;
    case Page::Aux: return 5;
    case Page::LeftColumn: break;
    }
    return -1;
}

QRect buttonTwips(int index)
{
    constexpr int Width = 2115;
    constexpr int Height = 330;
    if (index < 3)
        return QRect(210, 3465 + 420 * index, Width, Height);
    // Under "Read All Parameters" and to its right, a button's width apart.
    return QRect(210 + (Width + 105) * (index - 3), DownloadRowTop, Width, Height);
}

QRect progressBarTwips()
{
    return QRect(105, 4935 + DownloadRowHeight, 9465, 345);
}

std::span<const FrameLayout> parameterFrames()
{
    return layout().frames;
}

const FrameLayout *frameOf(int address)
{
    for (const FrameLayout &f : layout().frames)
        for (const RowLayout &r : f.rows)
            if (r.address == address)
                return &f;
    return nullptr;
}

const RowLayout *rowOf(int address)
{
    for (const FrameLayout &f : layout().frames)
        for (const RowLayout &r : f.rows)
            if (r.address == address)
                return &r;
    return nullptr;
}

std::span<const int> addressesWithControls()
{
    return layout().addresses;
}

} // namespace orbalis
