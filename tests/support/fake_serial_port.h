#pragma once

#include "link/serial_port.h"

#include <QByteArrayList>
#include <QList>
#include <functional>

namespace orbalis::test {

// A serial port that records every Output and serves scripted input.
class FakeSerialPort : public SerialPort {
public:
    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override;
    int CommPort() const override { return commPort_; }
    void setCommPort(int n) override;
    QString Settings() const override { return settings_; }
    void setSettings(const QString &s) override;
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    BoundDevice boundDevice() const override { return bound; }
    LineTimes lineTimes() const override { return times; }
    void onBytesArrived(std::function<void()> listener) override { bytesArrived_ = std::move(listener); }
    QByteArray peekInput() override { return received; }

    // Bytes coming in as the event loop would tell them: kept for Input and
    // told to whoever listens.
    void deliver(const QByteArray &bytes);

    // Script.
    QByteArrayList outputs;          // every Output, in order
    QList<int> openedPorts;          // CommPort of every successful open
    QStringList openedSettings;      // Settings of every successful open
    int openCalls = 0;
    int closeCalls = 0;
    QByteArray received;             // what the next Input returns
    bool refuseOpen = false;         // opening throws 8002
    int inputError = 0;              // next Input throws this number (once)
    BoundDevice bound;               // what boundDevice() says
    LineTimes times;                 // what lineTimes() says
    // Called on every Output; a test can answer by appending to `received`.
    std::function<void(const QByteArray &)> onOutput;

private:
    std::function<void()> bytesArrived_;
    bool open_ = false;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
};

} // namespace orbalis::test
