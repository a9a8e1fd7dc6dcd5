#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace orbalis {

// A Settings text ("19200,N,8,2") taken apart for QSerialPort.
struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// nullopt when the text is not four fields of a positive baud rate, a parity
// letter N, E, O, M or S, data bits 5 to 8 and stop bits 1, 1.5 or 2.
std::optional<LineSettings> parseLineSettings(const QString &text);

} // namespace orbalis
