#include "com_port_resolver.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace orbalis {

namespace {

// USB adapters first, ttyUSB before ttyACM, each by its number; the rest keep
// the order they were listed in.
struct UsbRank {
    int group = 2;
    int number = 0;
};

UsbRank rankOf(const QString &portName)
{
    static const QRegularExpression usb(QStringLiteral("^tty(USB|ACM)(\\d+)$"));
    const auto m = usb.match(portName);
    if (!m.hasMatch())
        return {};
    return {m.captured(1) == QLatin1String("USB") ? 0 : 1, m.captured(2).toInt()};
}

// The device a path finally names; the path itself when it leads nowhere.
QString deviceIdentity(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

ComPortResolver::ComPortResolver(QString programDir, PortLister lister)
    : programDir_(std::move(programDir)), lister_(lister ? std::move(lister) : PortLister(&systemPorts))
{
}

QList<ListedPort> ComPortResolver::systemPorts()
{
    // udev names each USB serial device by its make and serial number here;
    // the name survives replugging, its ttyUSB number does not.
    QHash<QString, QString> byId;
    const QDir byIdDir(QStringLiteral("/dev/serial/by-id"));
    const auto links = byIdDir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links)
        byId.insert(deviceIdentity(link.absoluteFilePath()), link.absoluteFilePath());

    QList<ListedPort> out;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        ListedPort p;
        p.portName = info.portName();
        p.systemLocation = info.systemLocation();
        p.description = info.description();
        p.manufacturer = info.manufacturer();
        p.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            p.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            p.productId = info.productIdentifier();
        p.byIdPath = byId.value(deviceIdentity(p.systemLocation));
        out.append(p);
    }
    return out;
}

QString ComPortResolver::deviceFor(int comNumber) const
{
    const auto entry = entryFor(comNumber);
    return entry ? entry->device : QString();
}

std::optional<ComPortEntry> ComPortResolver::entryFor(int comNumber) const
{
    const auto all = entries();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [comNumber](const ComPortEntry &e) { return e.number == comNumber; });
    if (it == all.end())
        return std::nullopt;
    return *it;
}

DeviceIdentity ComPortResolver::identityOf(const ComPortEntry &entry)
{
    DeviceIdentity id;
    if (entry.bound) {
        id.link = entry.device;
        id.linkTarget = QFileInfo(entry.device).symLinkTarget();
    }
    const ListedPort &p = entry.listed;
    id.byIdPath = p.byIdPath;
    id.vendorId = p.vendorId;
    id.productId = p.productId;
    id.serialNumber = p.serialNumber;
    id.path = deviceIdentity(entry.device);
    id.description = entry.description;
    return id;
}

std::optional<ComPortEntry> ComPortResolver::find(const DeviceIdentity &identity) const
{
    const auto all = entries();
    if (!identity.link.isEmpty()) {
        // exists() follows the link: one that leads nowhere is no device.
        if (!QFileInfo::exists(identity.link))
            return std::nullopt;
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const ComPortEntry &e) { return e.bound && e.device == identity.link; });
        if (it == all.end())
            return std::nullopt;
        return *it;
    }
    std::optional<ComPortEntry> found;
    for (const ComPortEntry &e : all) {
        // A device some link names is that link's, not ours.
        if (e.bound || !identity.matches(e.listed))
            continue;
        if (deviceIdentity(e.device) == identity.path)
            return e;
        if (!found)
            found = e;
    }
    return found;
}

bool DeviceIdentity::matches(const ListedPort &p) const
{
    if (!byIdPath.isEmpty() && !p.byIdPath.isEmpty())
        return byIdPath == p.byIdPath;
    if (vendorId >= 0) {
        // Adapters without a serial number are told apart by make and model
        // only; find() prefers the one at the old path.
        return p.vendorId == vendorId && p.productId == productId && p.serialNumber == serialNumber;
    }
    return p.vendorId < 0 && deviceIdentity(p.systemLocation) == path;
}

QString DeviceIdentity::text() const
{
    if (!link.isEmpty()) {
        const QString name = QStringLiteral("ports/") + QFileInfo(link).fileName();
        return linkTarget.isEmpty() ? name : name + QStringLiteral(" (linked to ") + linkTarget + QLatin1Char(')');
    }
    QString what;
    if (!byIdPath.isEmpty()) {
        what = QFileInfo(byIdPath).fileName();
    } else if (vendorId >= 0) {
        what = QStringLiteral("USB %1:%2").arg(vendorId, 4, 16, QLatin1Char('0')).arg(productId, 4, 16, QLatin1Char('0'));
        if (!serialNumber.isEmpty())
            what += QStringLiteral(", serial number ") + serialNumber;
    } else {
        what = path;
    }
    return description.isEmpty() ? what : description + QStringLiteral(" (") + what + QLatin1Char(')');
}

QList<ComPortEntry> ComPortResolver::entries() const
{
    QList<ListedPort> listed = lister_();
    std::stable_sort(listed.begin(), listed.end(), [](const ListedPort &a, const ListedPort &b) {
        const UsbRank ra = rankOf(a.portName), rb = rankOf(b.portName);
        if (ra.group != rb.group)
            return ra.group < rb.group;
        return ra.group < 2 && ra.number < rb.number;
    });

    QList<ComPortEntry> out;
    QSet<int> taken;
    QSet<QString> linkedDevices;

    // A dangling link still binds its name: the open then fails on it rather
    // than quietly landing on some other device.
    const QDir ports(QDir(programDir_).filePath(QStringLiteral("ports")));
    static const QRegularExpression comName(QStringLiteral("^COM([1-9]\\d{0,4})$"));
    const auto names = ports.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const auto m = comName.match(name);
        if (!m.hasMatch())
            continue;
        ComPortEntry e;
        e.number = m.captured(1).toInt();
        e.device = ports.filePath(name);
        e.bound = true;
        const QString identity = deviceIdentity(e.device);
        for (const ListedPort &p : std::as_const(listed)) {
            if (deviceIdentity(p.systemLocation) == identity) {
                e.description = p.description;
                e.listed = p;
            }
        }
        linkedDevices.insert(identity);
        taken.insert(e.number);
        out.append(e);
    }

    int next = 1;
    for (const ListedPort &p : std::as_const(listed)) {
        if (linkedDevices.contains(deviceIdentity(p.systemLocation)))
            continue;
        while (taken.contains(next))
            ++next;
        out.append({next, p.systemLocation, p.description, false, p});
        taken.insert(next);
    }

    std::sort(out.begin(), out.end(),
              [](const ComPortEntry &a, const ComPortEntry &b) { return a.number < b.number; });
    return out;
}

} // namespace orbalis
