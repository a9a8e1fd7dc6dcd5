#pragma once

#include "settings/settings_model.h"
#include "state/line_owner.h"
#include "support/fake_serial_port.h"

#include <QByteArray>

namespace orbalis {

// Tests only: a state of the line that no code sets, to see that the cycles
// survive it anyway.
class LineOwnerProbe {
public:
    static void setReadState(LineOwner &line, ReadState state) { line.readState_ = state; }
};

namespace test {

// Poll_Slot moved on to `slot`, as the polling cycle moves it.
inline void pollSlotTo(LineOwner &line, int slot)
{
    for (int i = 0; i < SlotCount && line.Poll_Slot() != slot; ++i)
        line.nextPollSlot();
}

// Reply_Buffer as a reply check leaves it when `bytes` came in on `port`,
// which must be the line's port and open.
inline void receiveReply(LineOwner &line, FakeSerialPort &port, const QByteArray &bytes)
{
    port.received = bytes;
    line.takeReply();
}

} // namespace test
} // namespace orbalis
