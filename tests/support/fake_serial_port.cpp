#include "fake_serial_port.h"

#include "base/error.h"

namespace orbalis::test {

void FakeSerialPort::setPortOpen(bool open)
{
    if (open) {
        ++openCalls;
        if (open_)
            throw Error(InvalidPortNumber, QStringLiteral("already open"));
        if (refuseOpen)
            throw Error(InvalidPortNumber);
        open_ = true;
        openedPorts.append(commPort_);
        openedSettings.append(settings_);
    } else {
        ++closeCalls;
        open_ = false;
        received.clear();
    }
}

void FakeSerialPort::setCommPort(int n)
{
    if (open_)
        throw Error(InvalidPortNumber, QStringLiteral("port is open"));
    commPort_ = n;
}

void FakeSerialPort::setSettings(const QString &s)
{
    settings_ = s;
}

void FakeSerialPort::Output(const QByteArray &bytes)
{
    if (!open_)
        throw Error(PortNotOpen);
    outputs.append(bytes);
    if (onOutput)
        onOutput(bytes);
}

void FakeSerialPort::deliver(const QByteArray &bytes)
{
    received += bytes;
    if (bytesArrived_)
        bytesArrived_();
}

QByteArray FakeSerialPort::Input()
{
    if (inputError) {
        const int n = inputError;
        inputError = 0;
        throw Error(n);
    }
    if (!open_)
        throw Error(PortNotOpen);
    QByteArray out;
    out.swap(received);
    return out;
}

} // namespace orbalis::test
