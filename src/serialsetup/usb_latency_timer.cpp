#include "usb_latency_timer.h"

#include <QFile>
#include <QFileInfo>

namespace orbalis {

namespace {

// Above this the adapter's own limit (255 ms) is exceeded: not a value to show.
constexpr int MaxLatencyMs = 255;
// Above this the adapter delays replies enough to blunt polling at line rate.
constexpr int SlowLatencyMs = 2;

} // namespace

std::optional<int> usbLatencyTimerMs(const QString &devicePath, const QString &sysRoot)
{
    const QString tty = QFileInfo(devicePath).fileName();
    if (tty.isEmpty())
        return std::nullopt;
    QFile file(sysRoot + QStringLiteral("/bus/usb-serial/devices/") + tty + QStringLiteral("/latency_timer"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const int ms = file.read(16).trimmed().toInt(&ok);
    if (!ok || ms < 0 || ms > MaxLatencyMs)
        return std::nullopt;
    return ms;
}

QString usbLatencyText(const QString &devicePath, const QString &sysRoot)
{
    const std::optional<int> ms = usbLatencyTimerMs(devicePath, sysRoot);
    if (!ms)
        return {};
    QString text = QStringLiteral("USB latency timer: %1 ms").arg(*ms);
    if (*ms > SlowLatencyMs)
        text += QStringLiteral(" (replies arrive up to %1 ms late; the README shows a udev rule that sets 1 ms)")
                    .arg(*ms);
    return text;
}

} // namespace orbalis
