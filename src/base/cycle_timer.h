#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace orbalis {

// A cycle's timer as the cycles see it: enabled or not, and an interval in ms.
// Tests drive the cycles' tick() directly and use a plain implementation.
class CycleTimer {
public:
    virtual ~CycleTimer() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual int interval() const = 0;
    virtual void setInterval(int ms) = 0;
};

// The real timer: a precise QTimer that calls the cycle's tick.
class QtCycleTimer : public CycleTimer {
public:
    explicit QtCycleTimer(int intervalMs, QObject *parent = nullptr);
    void onTick(std::function<void()> tick);

    bool isEnabled() const override { return timer_.isActive(); }
    void setEnabled(bool enabled) override;
    int interval() const override { return timer_.interval(); }
    void setInterval(int ms) override;

private:
    QTimer timer_;
};

} // namespace orbalis
