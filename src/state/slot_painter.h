#pragma once

#include <QByteArray>
#include <cstdint>

namespace orbalis {

// The painting steps the cycles call on the main window's slot panel.
class SlotPainter {
public:
    virtual ~SlotPainter() = default;
    // Paints bar, SV, PV, banner and lamps of the slot from a live-value reply.
    // Throws Error 9 (and paints nothing) for a reply shorter than 11 bytes.
    virtual void Show_Slot_Values(int slot, const QByteArray &reply, std::int32_t dpCode) = 0;
    // The pen icon alone: colour while recording, grey otherwise.
    virtual void paintPenIcon(int slot, bool recording) = 0;
    // Paint_Slot_Frame from the slot's flags and SlotId, then its own name at
    // (20, 50); position, size and font stay as they are.
    virtual void repaintFrameWithName(int slot) = 0;
};

} // namespace orbalis
