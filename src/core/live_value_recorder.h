#pragma once

#include "live_value_store.h"

#include "state/console.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace orbalis {

class Error;
class LiveValueTable;
class ParameterSink;
class ParameterSource;
class Reporter;
class SlotPainter;

// Store_Live_Values: decodes a live-value reply into the main window's hidden
// value boxes (and the parameter window when it shows the polled slot) and,
// while the slot's Record_Flag is on, appends a line to the record file of the
// day and the slot's controller in the program folder.
class LiveValueRecorder : public LiveValueStore {
public:
    // The live values are written to `liveValues` and read back from `liveTexts`
    // (the main window passes its LiveValueTable as both).
    LiveValueRecorder(Console &console, ParameterSink &liveValues, ParameterSource &liveTexts,
                      SlotPainter &painter, Reporter &reporter);
    // The same on one table of live values, which is given the reply to keep
    // rather than its texts while nothing reads them at once: the slot does
    // not record, and the parameter window does not show it.
    LiveValueRecorder(Console &console, LiveValueTable &table, SlotPainter &painter, Reporter &reporter);

    void Store_Live_Values() noexcept override;

private:
    bool decode() noexcept;
    bool textsReadAtOnce(int slot) const;
    void record();
    void interruptRecording(int slot, const QString &path, const Error &cause) noexcept;

    Console &console_;
    ParameterSink &liveValues_;
    ParameterSource &liveTexts_;
    LiveValueTable *keeper_ = nullptr;
    SlotPainter &painter_;
    Reporter &reporter_;
};

} // namespace orbalis
