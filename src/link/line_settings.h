#pragma once

#include <QSerialPort>
#include <QString>
#include <chrono>
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

// How long the line takes to carry this many bytes: start bit, data bits,
// parity bit and stop bits each, at the baud rate.
std::chrono::microseconds wireTime(qsizetype bytes, const LineSettings &line);

// The silence of three and a half characters that ends a frame on the line:
// the least a master leaves between the end of a reply and its next request.
std::chrono::microseconds frameGap(const LineSettings &line);

} // namespace orbalis
