#pragma once

#include <QString>

namespace orbalis {

// The two text panels of a window's status bar (panel 1 and panel 2).
class StatusPanels {
public:
    virtual ~StatusPanels() = default;
    virtual QString text(int panel) const = 0;
    virtual void setText(int panel, const QString &text) = 0;
    void append(int panel, const QString &more) { setText(panel, text(panel) + more); }
};

} // namespace orbalis
