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

UsbRank Rank_Of(const QString &portName)
{
    static const QRegularExpression usb(QStringLiteral("^tty(USB|ACM)(\\d+)$"));
    const auto m = usb.match(portName);
    if (!m.hasMatch())
        return {};
    return {m.captured(1) == QLatin1String("USB") ? 0 : 1, m.captured(2).toInt()};
}

// The device a path finally names; the path itself when it leads nowhere.
QString Device_Identity(const QString &path)
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
        byId.insert(Device_Identity(link.absoluteFilePath()), link.absoluteFilePath());

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
        p.byIdPath = byId.value(Device_Identity(p.systemLocation));
        out.append(p);
    }
    return out;
}

QString ComPortResolver::deviceFor(int comNumber) const
{
    const auto all = entries();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [comNumber](const ComPortEntry &e) { return e.number == comNumber; });
    return it == all.end() ? QString() : it->device;
}

QList<ComPortEntry> ComPortResolver::entries() const
{
    QList<ListedPort> listed = lister_();
    std::stable_sort(listed.begin(), listed.end(), [](const ListedPort &a, const ListedPort &b) {
        const UsbRank ra = Rank_Of(a.portName), rb = Rank_Of(b.portName);
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
        const QString identity = Device_Identity(e.device);
        for (const ListedPort &p : std::as_const(listed)) {
            if (Device_Identity(p.systemLocation) == identity) {
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
        if (linkedDevices.contains(Device_Identity(p.systemLocation)))
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
