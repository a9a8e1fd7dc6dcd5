#pragma once

#include "com_port_resolver.h"
#include "serial_port.h"

#include <QSerialPort>

namespace orbalis {

// The serial port on QSerialPort; COM numbers resolve through ComPortResolver.
class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(ComPortResolver resolver);
    ~QtSerialPort() override;

    bool PortOpen() const override;
    void setPortOpen(bool open) override;
    int CommPort() const override { return commPort_; }
    void setCommPort(int n) override;
    QString Settings() const override { return settings_; }
    void setSettings(const QString &settings) override;
    void Output(const QByteArray &bytes) override;
    QByteArray Input() override;

private:
    ComPortResolver resolver_;
    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
};

} // namespace orbalis
