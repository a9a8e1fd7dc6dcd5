#include "qt_serial_port.h"

#include "base/error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {

namespace {

// Enough to drain the kernel's buffer of a serial line many times over; the
// bound keeps a line that never stops talking from holding Input forever.
constexpr int MaxPullRounds = 8;

// The device itself rather than the link that names it, so that two names
// of one device share Qt's lock.
QString devicePathOf(const QString &device)
{
    const QFileInfo info(device);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// Looks at the device file to tell a missing permission from a busy device;
// Qt reports both as PermissionError.
OpenRefusal examineRefusal(const QString &device, QSerialPort::SerialPortError error, const QString &reason)
{
    OpenRefusal r;
    r.error = error;
    r.reason = reason;
    const QByteArray path = QFile::encodeName(device);
    if (::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0)
        r.accessErrno = errno;
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        r.groupMayReadWrite = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
        QByteArray buffer(size > 0 ? size : 4096, '\0');
        struct group g {};
        struct group *found = nullptr;
        if (::getgrgid_r(st.st_gid, &g, buffer.data(), size_t(buffer.size()), &found) == 0 && found)
            r.group = QString::fromLocal8Bit(found->gr_name);
        else
            r.group = QString::number(st.st_gid);
    }
    return r;
}

} // namespace

QString openRefusalText(const QString &device, const OpenRefusal &refusal)
{
    const bool denied = refusal.accessErrno == EACCES || refusal.accessErrno == EPERM;
    if (denied) {
        const QString head = device + QStringLiteral(" may not be opened by this user");
        // Membership of root's group is no remedy to offer anybody.
        if (refusal.group.isEmpty() || refusal.group == QLatin1String("root") || !refusal.groupMayReadWrite)
            return head + QStringLiteral(": ask the administrator for read and write access to it");
        return head + QStringLiteral(": it belongs to the group ") + refusal.group
            + QStringLiteral("; add the user to that group with sudo usermod -aG ") + refusal.group
            + QStringLiteral(" $USER, then log out and in again");
    }
    if (refusal.error == QSerialPort::PermissionError)
        return device + QStringLiteral(" is in use by another program, which holds it open or locked; "
                                       "close that program, then try again");
    return device + QStringLiteral(": ") + refusal.reason;
}

QtSerialPort::QtSerialPort(ComPortResolver resolver) : resolver_(std::move(resolver))
{
    // Only the time is noted and told: the bytes stay in Qt's buffer for Input.
    QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] {
        times_.lastByte = std::chrono::steady_clock::now();
        if (bytesArrived_)
            bytesArrived_();
    });
}

QtSerialPort::~QtSerialPort()
{
    port_.close();
}

bool QtSerialPort::PortOpen() const
{
    return port_.isOpen();
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open) {
        this->open();
    } else if (port_.isOpen()) {
        // What was received and not taken goes, including what the OS still
        // holds: the device may stay open elsewhere and keep its queue.
        port_.clear(QSerialPort::Input);
        port_.close();
        port_.clearError();
        times_ = {};
    }
}

void QtSerialPort::open()
{
    if (port_.isOpen())
        throw Error(InvalidPortNumber, QStringLiteral("the port is already open"));
    const auto line = parseLineSettings(settings_);
    if (!line)
        throw Error(DeviceControlBlock, settings_);
    const ComPortEntry entry = target();
    const QString device = devicePathOf(entry.device);

    port_.clearError();
    port_.setPortName(device);
    apply(*line);   // on a closed port Qt only keeps them for the open
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
        // Qt applies the line settings as part of the open; a device that
        // refuses them fails the open with this error.
        if (error == QSerialPort::UnsupportedOperationError)
            throw Error(DeviceControlBlock, device + QStringLiteral(": ") + reason);
        throw Error(InvalidPortNumber, openRefusalText(device, examineRefusal(device, error, reason)));
    }
    if (!apply(*line)) {
        const QString reason = port_.errorString();
        port_.close();
        port_.clearError();
        throw Error(DeviceControlBlock, device + QStringLiteral(": ") + reason);
    }
    // Bytes that reached the device while the port was closed belong to nobody.
    port_.clear(QSerialPort::Input);
    port_.clearError();
    times_ = {};

    auto bound = bound_.find(commPort_);
    if (bound == bound_.end()) {
        bound_.insert(commPort_, ComPortResolver::identityOf(entry));
    } else {
        // Where it was seen last: a second match is looked for there first,
        // and the texts name the link's latest target.
        bound->path = devicePathOf(entry.device);
        if (!bound->link.isEmpty())
            bound->linkTarget = QFileInfo(entry.device).symLinkTarget();
    }
}

ComPortEntry QtSerialPort::target()
{
    missing_ = 0;
    const auto bound = bound_.constFind(commPort_);
    if (bound == bound_.cend()) {
        const auto entry = resolver_.entryFor(commPort_);
        if (!entry)
            throw Error(InvalidPortNumber, QStringLiteral("no device for COM%1").arg(commPort_));
        return *entry;
    }
    // Never another device in its place: whatever the name resolves to now
    // is not where the user's controllers were found.
    const auto present = resolver_.find(*bound);
    if (!present) {
        missing_ = commPort_;
        throw Error(InvalidPortNumber,
                    QStringLiteral("COM%1 waits for %2 to come back").arg(QString::number(commPort_), bound->text()));
    }
    return *present;
}

void QtSerialPort::forgetBoundDevice()
{
    bound_.clear();
    missing_ = 0;
}

SerialPort::BoundDevice QtSerialPort::boundDevice() const
{
    const auto bound = bound_.constFind(commPort_);
    if (bound == bound_.cend())
        return {};
    return {bound->text(), missing_ == commPort_};
}

bool QtSerialPort::apply(const LineSettings &line)
{
    return port_.setBaudRate(line.baud) && port_.setParity(line.parity) && port_.setDataBits(line.dataBits)
        && port_.setStopBits(line.stopBits) && port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::setCommPort(int n)
{
    if (port_.isOpen())
        throw Error(InvalidPortNumber, QStringLiteral("the port number cannot change while the port is open"));
    commPort_ = n;
}

void QtSerialPort::setSettings(const QString &settings)
{
    settings_ = settings;
    if (!port_.isOpen())
        return;   // checked and applied by the next open
    const auto line = parseLineSettings(settings_);
    if (!line)
        throw Error(DeviceControlBlock, settings_);
    if (!apply(*line)) {
        const QString reason = port_.errorString();
        port_.clearError();
        throw Error(DeviceControlBlock, reason);
    }
}

void QtSerialPort::Output(const QByteArray &bytes)
{
    if (!port_.isOpen())
        throw Error(PortNotOpen);
    // An error the event loop met since the last call is reported here too.
    const qint64 queued = port_.write(bytes);
    // Hand the bytes to the OS now rather than at the next turn of the event loop.
    if (queued == bytes.size()) {
        port_.flush();
        // The line is idle when a request goes (one master, one request at
        // a time), so its last byte leaves one transmission time from now.
        const LineSettings line{port_.baudRate(), port_.parity(), port_.dataBits(), port_.stopBits()};
        times_.requestEnd = std::chrono::steady_clock::now() + wireTime(bytes.size(), line);
        times_.lastByte.reset();
    }
    raisePortError(ReadError);
    if (queued != bytes.size())
        throw Error(ReadError, QStringLiteral("%1 of %2 bytes queued").arg(queued).arg(bytes.size()));
}

QByteArray QtSerialPort::Input()
{
    if (!port_.isOpen())
        throw Error(PortNotOpen);
    // Qt fills its buffer only from the event loop; pull what the OS holds.
    for (int round = 0; round < MaxPullRounds && port_.waitForReadyRead(0); ++round) {
    }
    raisePortError(ReadError);
    return port_.readAll();
}

QByteArray QtSerialPort::peekInput()
{
    if (!port_.isOpen())
        return {};
    return port_.peek(port_.bytesAvailable());
}

void QtSerialPort::raisePortError(int numberForOtherErrors)
{
    const auto error = port_.error();
    if (error == QSerialPort::NoError)
        return;
    const QString reason = port_.errorString();
    port_.clearError();
    switch (error) {
    case QSerialPort::TimeoutError:
        return;   // a poll that found nothing: the line is merely quiet
    case QSerialPort::ResourceError:
        throw Error(DeviceNotOpen, reason);
    default:
        throw Error(numberForOtherErrors, reason);
    }
}

} // namespace orbalis
