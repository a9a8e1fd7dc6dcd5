#include "qt_serial_port.h"

#include "base/error.h"

#include <QFileInfo>

namespace orbalis {

namespace {

// Enough to drain the kernel's buffer of a serial line many times over; the
// bound keeps a line that never stops talking from holding Input forever.
constexpr int MaxPullRounds = 8;

// The device itself rather than the link that names it, so that two names
// of one device share Qt's lock.
QString Device_Path(const QString &device)
{
    const QFileInfo info(device);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

QtSerialPort::QtSerialPort(ComPortResolver resolver) : resolver_(std::move(resolver)) {}

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
    }
}

void QtSerialPort::open()
{
    if (port_.isOpen())
        throw Error(InvalidPortNumber, QStringLiteral("the port is already open"));
    const auto line = Parse_Line_Settings(settings_);
    if (!line)
        throw Error(DeviceControlBlock, settings_);
    const QString device = resolver_.deviceFor(commPort_);
    if (device.isEmpty())
        throw Error(InvalidPortNumber, QStringLiteral("no device for COM%1").arg(commPort_));

    port_.clearError();
    port_.setPortName(Device_Path(device));
    apply(*line);   // on a closed port Qt only keeps them for the open
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
        // Qt applies the line settings as part of the open; a device that
        // refuses them fails the open with this error.
        throw Error(error == QSerialPort::UnsupportedOperationError ? DeviceControlBlock : InvalidPortNumber,
                    device + QStringLiteral(": ") + reason);
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
    const auto line = Parse_Line_Settings(settings_);
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
    if (queued == bytes.size())
        port_.flush();
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
