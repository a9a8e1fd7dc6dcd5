#pragma once

#include <QString>
#include <optional>

namespace orbalis {

// The latency timer of a USB serial adapter, in milliseconds, as Linux shows
// it under <sysRoot>/bus/usb-serial/devices/<tty>/latency_timer: how long
// the adapter may hold received bytes before passing them on. None for a
// device that is no USB adapter, or when the value cannot be read.
std::optional<int> usbLatencyTimerMs(const QString &devicePath, const QString &sysRoot = QStringLiteral("/sys"));

// The tooltip line for it, e.g. "USB latency timer: 16 ms (...)"; empty
// where there is none to show.
QString usbLatencyText(const QString &devicePath, const QString &sysRoot = QStringLiteral("/sys"));

} // namespace orbalis
