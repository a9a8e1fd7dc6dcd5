#include "line_server.h"

#include "link/pseudo_terminal.h"

#include <algorithm>
#include <poll.h>

namespace orbalis::sim {

LineServer::LineServer(PseudoTerminal &terminal, LineEngine &engine)
    : terminal_(terminal), engine_(engine), start_(std::chrono::steady_clock::now())
{
}

Micros LineServer::now() const
{
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now() - start_);
}

void LineServer::run(const std::atomic<bool> &stop)
{
    while (!stop.load())
        runOnce(Micros(100'000));
}

void LineServer::runOnce(Micros maxWait)
{
    const int baud = terminal_.lineBaud();
    const Micros wait = std::clamp(engine_.nextDeadline(baud) - now(), Micros(0), maxWait);
    // Round up so that a deadline is never polled for just before it is due.
    pollfd p{terminal_.masterFd(), POLLIN, 0};
    const int ready = ::poll(&p, 1, int((wait.count() + 999) / 1000));
    if (ready > 0 && (p.revents & POLLIN)) {
        const QByteArray bytes = terminal_.readAvailable();
        if (!bytes.isEmpty())
            engine_.receive(bytes, now(), terminal_.lineBaud());
    }
    const Micros t = now();
    engine_.advance(t, baud);
    const QByteArray out = engine_.takeDue(t);
    if (!out.isEmpty())
        terminal_.write(out);
}

} // namespace orbalis::sim
