#include "live_value_recorder.h"

#include "record_file.h"
#include "record_format.h"

#include "state/slot_painter.h"

#include "base/error.h"
#include "base/reporter.h"
#include "model/display.h"
#include "model/live_value_table.h"
#include "settings/cp950.h"

namespace orbalis {

namespace {

constexpr int PenBeeps = 3;

} // namespace

LiveValueRecorder::LiveValueRecorder(Console &console, ParameterSink &liveValues,
                                     ParameterSource &liveTexts, SlotPainter &painter,
                                     Reporter &reporter)
    : console_(console), liveValues_(liveValues), liveTexts_(liveTexts), painter_(painter),
      reporter_(reporter)
{
}

LiveValueRecorder::LiveValueRecorder(Console &console, LiveValueTable &table, SlotPainter &painter,
                                     Reporter &reporter)
    : LiveValueRecorder(console, table, table, painter, reporter)
{
    keeper_ = &table;
}

bool LiveValueRecorder::textsReadAtOnce(int slot) const
{
    return console_.slots.Record_Flag[std::size_t(slot)]
        || (console_.parameterWindow && console_.line.Para_Slot() == slot);
}

void LiveValueRecorder::Store_Live_Values() noexcept
{
    const int slot = console_.line.Poll_Slot();
    if (keeper_ && isSlot(slot) && !textsReadAtOnce(slot)) {
        try {
            keeper_->keepReply(console_.line.Reply_Buffer(), console_.slots.Slot_DP_Code[std::size_t(slot)]);
        } catch (...) {
            // Out of memory: the texts stay those of the reply before.
        }
        return;
    }
    if (!decode())
        return;   // a reply the decoders cannot read records nothing
    if (!console_.slots.Record_Flag[std::size_t(slot)])
        return;
    QString path;
    try {
        const QDateTime now = console_.clock->now();
        const int id = console_.slots.SlotId[std::size_t(slot)];
        path = console_.programDir + QLatin1Char('/') + recordFileName(now.date(), id);
        const QByteArray crlf("\r\n");
        appendRecordLine(path, encodeCp950(recordHeader()) + crlf,
                         encodeCp950(recordLine(now.time(), liveTexts_)) + crlf);
    } catch (...) {
        interruptRecording(slot, path, currentExceptionAsError());
    }
}

bool LiveValueRecorder::decode() noexcept
{
    const int slot = console_.line.Poll_Slot();
    if (!isSlot(slot))
        return false;
    try {
        DisplayTargets targets;
        targets.parameterWindow =
            console_.parameterWindow ? &console_.parameterWindow->controls() : nullptr;
        targets.liveValues = &liveValues_;
        targets.Poll_Slot = slot;
        targets.Para_Slot = console_.line.Para_Slot();
        showLiveValues(console_.line.Reply_Buffer(), console_.slots.Slot_DP_Code[std::size_t(slot)],
                         targets);
        return true;
    } catch (...) {
        return false;
    }
}

void LiveValueRecorder::interruptRecording(int slot, const QString &path, const Error &cause) noexcept
{
    // A record that cannot be written stops loudly: a pen that keeps showing
    // "recording" while every line is lost would be worse than no recording.
    try {
        console_.slots.Record_Flag[std::size_t(slot)] = false;
        painter_.paintPenIcon(slot, false);
        for (int i = 0; i < PenBeeps; ++i)
            reporter_.beep();
        const QString why = cause.number() == PermissionDenied
            ? QStringLiteral(" Suspected of being forced to open other programs")
            : QStringLiteral(" could not be written: ") + cause.description();
        reporter_.warn(QStringLiteral("Attention! Wrong"), QStringLiteral("Your record file ") + path
                           + why + QStringLiteral("\r\nRecord has been interrupted"));
    } catch (...) {
        // Nothing may reach the polling cycle; the flag is already off.
    }
}

} // namespace orbalis
