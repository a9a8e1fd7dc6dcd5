#pragma once

#include "link/com_port_resolver.h"

#include <QList>
#include <QString>
#include <optional>

namespace orbalis {

// One device as the port list receives it.
struct PortDevice {
    QString path;                 // the device's path; a device without one is not listed
    std::optional<QString> name;  // its display name, "description (COMn)"; may be absent
    QString details;              // what the row's tooltip tells
};

// Where the port list gets its devices from; a test feeds its own names.
class PortDeviceSource {
public:
    virtual ~PortDeviceSource() = default;
    // In the order to list them. Throws orbalis::Error when they cannot be had.
    virtual QList<PortDevice> devices() = 0;
};

// Every port ComPortResolver knows: ports/COMn links and the devices present.
class ResolverPortSource : public PortDeviceSource {
public:
    // `sysRoot` is where Linux shows its devices ("/sys"); a test gives its own.
    explicit ResolverPortSource(ComPortResolver resolver, QString sysRoot = QStringLiteral("/sys"))
        : resolver_(std::move(resolver)), sysRoot_(std::move(sysRoot))
    {
    }
    QList<PortDevice> devices() override;

private:
    ComPortResolver resolver_;
    QString sysRoot_;
};

// The device an entry names: the target of its link, or its own path.
QString devicePathOf(const ComPortEntry &entry);
// "description (COMn)"; the device path stands in for a description the system does not give.
QString displayName(const ComPortEntry &entry);
// The tooltip of a row: the device, where its COM name comes from, its by-id
// name, maker, serial number, USB IDs, the USB adapter's latency timer where
// <sysRoot> shows one, and whether this user may open it.
QString portDetails(const ComPortEntry &entry, const QString &sysRoot = QStringLiteral("/sys"));
// Whether this user may read and write the device, and if not, why and what to do.
QString accessText(const QString &devicePath);

// One row of the port list.
struct PortRow {
    QString text;   // the name before the port
    QString port;   // sub-item 1: "COM5"
    QString details;
};

// The row a device gives, by the first case-sensitive "COM" of its name:
// the text is what stands before it less the two characters in front of it
// (" ("), the port runs from "COM" to the last character, which is left out.
// No row for a device without a path, without a name or without "COM".
// "COM" at the first or second character leaves no text before it: the row
// is listed with an empty text, so the rows stay numbered without gaps.
std::optional<PortRow> portRow(const PortDevice &device);

} // namespace orbalis
