#pragma once

#include "core/health_rules.h"

#include "settings/settings_model.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>

namespace orbalis {

struct Console;
class HealthPanel;

// The health of every bound slot on the panel: its mark, the "values are
// old" wash, the tooltip with the figures and the accessible description
// (controller, name, values, health). The marks are looked at twice a
// second and drawn only when they change; the tooltip and the description
// are worked out when the user or a screen reader asks for them.
class PanelHealth : public QObject {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 500;

    // The panel's slot widgets outlive this.
    PanelHealth(const Console &console, const LineCounters &counters, HealthPanel &panel,
                QObject *parent = nullptr);
    ~PanelHealth() override;

    // What the timer runs; tests call it directly.
    void refresh();

    HealthMark mark(int slot) const;
    OldValues old(int slot) const;
    // Empty for a slot without a controller.
    QString tooltip(int slot) const;
    QString description(int slot) const;

    static QColor markColour(HealthMark mark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool portOpen() const;
    std::uint8_t idOf(int slot) const;

    struct Shown {
        QColor mark;
        QString word;
    };

    const Console &console_;
    const LineCounters &counters_;
    HealthPanel &panel_;
    QTimer timer_;
    std::array<Shown, SlotCount> shown_{};
};

} // namespace orbalis
