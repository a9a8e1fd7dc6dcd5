#pragma once

#include "link/reply_judge.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace orbalis {

// Where a parameter write came from.
enum class WriteOrigin {
    Window,    // Enter in a box of the parameter window
    File,      // "Open File": a parameter file written whole
    Restore,   // "Restore Backup...": differences from a backup
    Copy,      // "Copy to...": the window's values into another controller
    Mqtt,      // a write asked for over MQTT
};

// "window", "file", "restore", "copy", "MQTT": as the journal keeps it.
QString writeOriginText(WriteOrigin origin);

// One write request that went out, and how the controller answered it.
struct ParameterWrite {
    QDateTime at;               // when the answer was judged (or the write stopped)
    int slot = -1;
    int controllerId = 0;
    int address = 0;
    QString textBefore;         // the parameter's text when last read; empty if never read
    QString textSent;           // the text the value was encoded from
    std::int32_t value = 0;     // the register value sent
    WriteOrigin origin = WriteOrigin::Window;
    bool judged = true;         // false: stopped before its answer was judged
    LineOutcome outcome = LineOutcome::NoAnswer;
    std::uint8_t exceptionCode = 0;   // a refusal's code
};

// "accepted", "refused", "no answer", "CRC error", "wrong reply", or "not
// judged" for a write stopped before its answer came.
QString writeOutcomeText(const ParameterWrite &write);
// Why a refusal was given: "code 3 (illegal data value)"; empty otherwise.
QString writeRefusalReason(const ParameterWrite &write);

// Told of every write request the write cycle sent, once its answer is
// judged: the audit trail.
class ParameterWriteObserver {
public:
    virtual ~ParameterWriteObserver() = default;
    virtual void parameterWritten(const ParameterWrite &write) = 0;
};

} // namespace orbalis
