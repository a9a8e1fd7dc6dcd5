#include "stop_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orbalis {

namespace {

int pipeEnds[2] = {-1, -1};

void onSignal(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto ignored = ::write(pipeEnds[1], &number, 1);
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> stop, QObject *parent) : QObject(parent), stop_(std::move(stop))
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(pipeEnds[0], &number, 1) == 1)
            if (stop_)
                stop_(number);
    });
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

StopSignals::~StopSignals()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
    for (int &end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

} // namespace orbalis
