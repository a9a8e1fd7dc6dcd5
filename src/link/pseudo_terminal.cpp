#include "pseudo_terminal.h"

#include "base/error.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace orbalis {

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
        throw Error(errorNumberForErrno(errno), QStringLiteral("openpty"));
    slavePath_ = QString::fromLocal8Bit(name);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

void PseudoTerminal::bindAs(const QString &programDir, int comNumber)
{
    unbind();
    QDir dir(programDir);
    if (!dir.mkpath(QStringLiteral("ports")))
        throw Error(PathFileAccess, dir.filePath(QStringLiteral("ports")));
    const QString link = dir.filePath(QStringLiteral("ports/COM%1").arg(comNumber));
    QFile::remove(link);
    if (!QFile::link(slavePath_, link))
        throw Error(PathFileAccess, link);
    linkPath_ = link;
}

void PseudoTerminal::unbind()
{
    if (!linkPath_.isEmpty()) {
        QFile::remove(linkPath_);
        linkPath_.clear();
    }
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 10);
        } else {
            return;   // the other side is gone; the bytes are lost as on a cut line
        }
    }
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray out;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return out;
}

QByteArray PseudoTerminal::readFor(int timeoutMs)
{
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN))
        return readAvailable();
    return {};
}

QByteArray PseudoTerminal::readAtLeast(qsizetype count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs)
        got += readFor(50);
    return got;
}

int PseudoTerminal::lineBaud() const
{
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0)
        return 0;
    switch (cfgetospeed(&t)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

void PseudoTerminal::close()
{
    unbind();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

} // namespace orbalis
