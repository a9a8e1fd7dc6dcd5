#pragma once

#include "com_port_resolver.h"
#include "line_settings.h"
#include "serial_port.h"

#include <QHash>
#include <QSerialPort>

namespace orbalis {

// What is known of an open the device refused.
struct OpenRefusal {
    QSerialPort::SerialPortError error = QSerialPort::UnknownError;
    QString reason;                  // Qt's own words
    int accessErrno = 0;             // of access(device, read and write); 0 when allowed
    QString group;                   // the group owning the device file
    bool groupMayReadWrite = false;  // that group may read and write it
};

// Why the device could not be opened, worded to follow "Wrong reasons:
// Invalid port number (": the device, the cause and what the user can do.
QString openRefusalText(const QString &device, const OpenRefusal &refusal);

// The serial port on QSerialPort; COM numbers resolve through ComPortResolver.
// Errors: no device for CommPort, a refused open, CommPort changed or the port
// opened while open: 8002. Settings malformed or refused by the device: 8021.
// Input or Output while closed: 8018. The device gone under the open port
// (ResourceError, a read failing on a dead line): 8012, so that the polling
// cycle closes the stale handle. Other read or write failures: 8020.
// The first open of a COM number binds it to that device's identity; later
// opens look for that device only (wherever it is listed now) and fail while
// it is missing, until forgetBoundDevice().
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
    void forgetBoundDevice() override;
    BoundDevice boundDevice() const override;
    LineTimes lineTimes() const override { return times_; }
    void onBytesArrived(std::function<void()> listener) override { bytesArrived_ = std::move(listener); }
    QByteArray peekInput() override;

private:
    void open();
    // The device to open for CommPort: the bound one, or the one the name
    // resolves to when nothing is bound yet.
    ComPortEntry target();
    // Puts the line settings on the port; false (with Qt's reason) when refused.
    bool apply(const LineSettings &line);
    // Turns the port's pending error, if any, into an orbalis::Error.
    void raisePortError(int numberForOtherErrors);

    ComPortResolver resolver_;
    QHash<int, DeviceIdentity> bound_;   // by COM number
    int missing_ = 0;                    // COM number whose bound device the last open did not find
    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    LineTimes times_;   // stamped by Output and by each readyRead; read by nobody on the line
    std::function<void()> bytesArrived_;
};

} // namespace orbalis
