// One valid live-value reply as the polling tick handles it: decode into the
// value boxes, append a record line, paint the slot.

#include "core/live_value_recorder.h"
#include "state/slot_painter.h"
#include "console/slot_painting.h"
#include "console/slot_picture.h"
#include "images/image_lists.h"
#include "link/frames.h"
#include "support/fakes.h"
#include "support/line_state.h"
#include "support/qt_app.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace orbalis;

namespace {

// The main window's panel paints a slot through these same calls; one
// picture of a slot's size stands in for the panel.
class OnePicturePainter : public SlotPainter {
public:
    OnePicturePainter() { picture.resize(120, 140); }
    void Show_Slot_Values(int, const QByteArray &reply, std::int32_t dpCode) override
    {
        orbalis::Show_Slot_Values(picture, images, reply, dpCode);
    }
    void paintPenIcon(int, bool recording) override
    {
        orbalis::paintPenIcon(picture, images, recording);
    }
    void repaintFrameWithName(int) override {}

    ImageLists images;
    SlotPicture picture;
};

QByteArray sampleReply()
{
    QByteArray r("\x05\x04\x3c", 3);
    for (int k = 0; k < 30; ++k)
        r.append(char(0x01)).append(char(17 * k));
    return withCrc(r);
}

// range(0): 1 paints the slot as the tick does, 0 decodes and records only.
void BM_LiveReply(benchmark::State &state)
{
    const bool paint = state.range(0) != 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    test::qtApp();

    QTemporaryDir dir;
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    Console console;
    console.programDir = dir.path();
    console.clock = &clock;
    console.slots.SlotId[2] = 5;
    console.slots.Slot_DP_Code[2] = 49;
    console.slots.Record_Flag[2] = true;
    test::FakeSerialPort port;
    port.setPortOpen(true);
    console.line.attach(&port, nullptr, nullptr);
    test::pollSlotTo(console.line, 2);
    test::receiveReply(console.line, port, sampleReply());

    test::RecordingSink boxes;
    test::FakeReporter reporter;
    OnePicturePainter painter;
    LiveValueRecorder recorder(console, boxes, boxes, painter, reporter);

    for (auto _ : state) {
        recorder.Store_Live_Values();
        if (paint)
            painter.Show_Slot_Values(2, console.line.Reply_Buffer(), console.slots.Slot_DP_Code[2]);
    }
    if (!console.slots.Record_Flag[2] || !reporter.messages.isEmpty())
        state.SkipWithError("recording was interrupted");
}

BENCHMARK(BM_LiveReply)->ArgName("paint")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
