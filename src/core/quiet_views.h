#pragma once

#include "base/reporter.h"
#include "base/status_panels.h"
#include "state/slot_painter.h"

#include <array>

namespace orbalis {

// What the core talks to when no window is there to show it.

// The two panels of a status bar kept in memory, to be read by whoever asks.
class StatusTexts : public StatusPanels {
public:
    QString text(int panel) const override;
    void setText(int panel, const QString &text) override;

private:
    std::array<QString, 2> texts_;
};

// Paints nothing; the values are in the live-value boxes and the records.
class NoSlotPainter : public SlotPainter {
public:
    void Show_Slot_Values(int, const QByteArray &, std::int32_t) override {}
    void paintPenIcon(int, bool) override {}
    void repaintFrameWithName(int) override {}
};

// Messages go to the log instead of a box; nobody is there to say yes.
class LogReporter : public Reporter {
public:
    void beep() override {}
    void warn(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
};

} // namespace orbalis
