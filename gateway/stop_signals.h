#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace orbalis {

// SIGTERM and SIGINT end the program cleanly: the handler only writes the
// signal's number into a pipe, and the event loop calls `stop` with it.
// One at a time in a process.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(std::function<void(int signal)> stop, QObject *parent = nullptr);
    ~StopSignals() override;

private:
    std::function<void(int)> stop_;
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace orbalis
