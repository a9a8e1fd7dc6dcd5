#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace orbalis {

// The one serial port of the console, with exactly the operations the rest of
// the system relies on. Failures throw orbalis::Error with the numbers 8002,
// 8012, 8018, 8020 or 8021.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual bool PortOpen() const = 0;
    // true opens with the current CommPort and Settings (throws when it cannot);
    // false closes and discards pending received bytes.
    virtual void setPortOpen(bool open) = 0;

    virtual int CommPort() const = 0;
    virtual void setCommPort(int n) = 0;

    // "19200,N,8,2": baud, parity letter, data bits, stop bits.
    virtual QString Settings() const = 0;
    virtual void setSettings(const QString &settings) = 0;

    // Queues the bytes unchanged and returns at once.
    virtual void Output(const QByteArray &bytes) = 0;
    // Every byte received since the previous call, raw; empty when none; never waits.
    virtual QByteArray Input() = 0;

    // Whoever paces the line by its replies: called on the console's thread,
    // from the event loop, whenever bytes have come in. Empty to stop.
    virtual void onBytesArrived(std::function<void()> listener) { (void)listener; }
    // The bytes that came in and that Input has not taken yet, left for it;
    // never waits. Empty where the port cannot tell.
    virtual QByteArray peekInput() { return {}; }

    // Within a run a COM name stays with the device it was first opened on;
    // an explicit choice of the user (applying serial settings) lets the next
    // open bind the name anew.
    virtual void forgetBoundDevice() {}

    // The device the current COM name is bound to, for the status bar while
    // the port is in trouble.
    struct BoundDevice {
        QString name;          // the device in words; empty before the first open
        bool missing = false;  // the last open did not find it (it was pulled)
    };
    virtual BoundDevice boundDevice() const { return {}; }

    // When the line carried the last request and its reply, on a monotonic
    // clock, as the port saw it: for the line's counters only, never for the
    // cycles. Empty where the port cannot tell.
    struct LineTimes {
        // The last byte of the latest Output left the port (written to the
        // device, plus its transmission time at the baud rate).
        std::optional<std::chrono::steady_clock::time_point> requestEnd;
        // The last bytes received since that Output arrived (as the port
        // reported them); empty while nothing has come since.
        std::optional<std::chrono::steady_clock::time_point> lastByte;
    };
    virtual LineTimes lineTimes() const { return {}; }
};

} // namespace orbalis
