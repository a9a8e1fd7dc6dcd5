#include "port_discovery.h"

#include "usb_latency_timer.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbalis {

namespace {

// The group of the device file, and whether that group may read and write it.
struct DeviceGroup {
    QString name;
    bool mayReadWrite = false;
};

DeviceGroup groupOf(const QString &path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const group *g = ::getgrgid(st.st_gid);
    return {g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid),
            (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)};
}

QString hexWord(int id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

QList<PortDevice> ResolverPortSource::devices()
{
    QList<PortDevice> out;
    const auto entries = resolver_.entries();
    for (const ComPortEntry &e : entries)
        out.append({e.device, displayName(e), portDetails(e, sysRoot_)});
    return out;
}

QString devicePathOf(const ComPortEntry &entry)
{
    if (!entry.bound)
        return entry.device;
    const QFileInfo link(entry.device);
    const QString canonical = link.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A dangling link: what it points at, which is what a user must mend.
    return link.isSymLink() ? link.symLinkTarget() : entry.device;
}

QString displayName(const ComPortEntry &entry)
{
    const QString description = entry.description.trimmed().isEmpty() ? devicePathOf(entry) : entry.description;
    return description + QStringLiteral(" (COM") + QString::number(entry.number) + QLatin1Char(')');
}

QString accessText(const QString &devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    if (::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) == 0)
        return QStringLiteral("Access: this user may open it (read and write)");
    if (errno == ENOENT)
        return QStringLiteral("Access: the device does not exist");
    const DeviceGroup group = groupOf(devicePath);
    // Membership of root's group is no remedy to offer anybody.
    if (group.name.isEmpty() || group.name == QLatin1String("root") || !group.mayReadWrite)
        return QStringLiteral("Access: this user may not open it; ask the administrator for read and write access");
    return QStringLiteral("Access: this user may not open it; it belongs to the group %1: add the user to that "
                          "group with sudo usermod -aG %1 $USER, then log out and in again")
        .arg(group.name);
}

QString portDetails(const ComPortEntry &entry, const QString &sysRoot)
{
    const QString device = devicePathOf(entry);
    QStringList lines;
    lines << QStringLiteral("Device: ") + device;
    if (entry.bound)
        lines << QStringLiteral("COM%1 from the link %2").arg(entry.number).arg(QDir::toNativeSeparators(entry.device));
    else
        lines << QStringLiteral("COM%1 by the order of the devices present (no ports/COM%1 link)").arg(entry.number);
    const ListedPort &p = entry.listed;
    if (!p.byIdPath.isEmpty())
        lines << QStringLiteral("By id: ") + p.byIdPath;
    if (!p.manufacturer.isEmpty())
        lines << QStringLiteral("Manufacturer: ") + p.manufacturer;
    if (!p.serialNumber.isEmpty())
        lines << QStringLiteral("Serial number: ") + p.serialNumber;
    if (p.vendorId >= 0 || p.productId >= 0)
        lines << QStringLiteral("USB vendor:product ID: %1:%2")
                     .arg(p.vendorId >= 0 ? hexWord(p.vendorId) : QStringLiteral("?"),
                          p.productId >= 0 ? hexWord(p.productId) : QStringLiteral("?"));
    const QString latency = usbLatencyText(device, sysRoot);
    if (!latency.isEmpty())
        lines << latency;
    lines << accessText(device);
    return lines.join(QLatin1Char('\n'));
}

std::optional<PortRow> portRow(const PortDevice &device)
{
    if (device.path.isEmpty() || !device.name)
        return std::nullopt;
    const QString &name = *device.name;
    const qsizetype at = name.indexOf(QLatin1String("COM"), 0, Qt::CaseSensitive);
    if (at < 0)
        return std::nullopt;
    PortRow row;
    row.text = name.left(std::max<qsizetype>(at - 2, 0));
    row.port = name.mid(at, name.size() - at - 1);
    row.details = device.details;
    return row;
}

} // namespace orbalis
