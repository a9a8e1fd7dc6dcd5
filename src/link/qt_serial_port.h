#pragma once

#include "com_port_resolver.h"
#include "line_settings.h"
#include "serial_port.h"

#include <QSerialPort>

namespace orbalis {

// The serial port on QSerialPort; COM numbers resolve through ComPortResolver.
// Errors: no device for CommPort, a refused open, CommPort changed or the port
// opened while open: 8002. Settings malformed or refused by the device: 8021.
// Input or Output while closed: 8018. The device gone under the open port
// (ResourceError, a read failing on a dead line): 8012, so that the polling
// cycle closes the stale handle. Other read or write failures: 8020.
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
    void open();
    // Puts the line settings on the port; false (with Qt's reason) when refused.
    bool apply(const LineSettings &line);
    // Turns the port's pending error, if any, into an orbalis::Error.
    void raisePortError(int numberForOtherErrors);

    ComPortResolver resolver_;
    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
};

} // namespace orbalis
