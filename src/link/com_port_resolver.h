#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace orbalis {

// A serial device as the system lists it.
struct ListedPort {
    QString portName;        // "ttyUSB0"
    QString systemLocation;  // "/dev/ttyUSB0"
    QString description;     // what the system says of it; may be empty
    QString manufacturer;
    QString serialNumber;
    int vendorId = -1;       // USB vendor and product ID; -1 when not a USB device
    int productId = -1;
    QString byIdPath;        // its /dev/serial/by-id link, where there is one
};

struct ComPortEntry {
    int number = 0;        // n of COMn
    QString device;        // path of the device (or of the ports/COMn link)
    QString description;   // what the system says of the device
    bool bound = false;    // from a ports/COMn link in the program folder
    ListedPort listed;     // the device as the system lists it; empty fields when it is not listed
};

// Resolves COM names to devices:
//  1. programDir/ports/COMn, when present, is the device of COMn;
//  2. otherwise the devices present are numbered USB adapters first (ttyUSB*,
//     then ttyACM*, by number), then the others as listed, taking the COM
//     numbers not bound in step 1, from 1 up. A device that a link already
//     names gets no second number.
class ComPortResolver {
public:
    using PortLister = std::function<QList<ListedPort>()>;

    // Without a lister, the devices are those QSerialPortInfo finds.
    explicit ComPortResolver(QString programDir, PortLister lister = {});

    // The serial devices present, as QSerialPortInfo lists them, each with its
    // /dev/serial/by-id link where udev made one.
    static QList<ListedPort> systemPorts();

    // Empty when no device is known for COMn.
    QString deviceFor(int comNumber) const;
    // Every known port with its COM number, in COM order.
    QList<ComPortEntry> entries() const;

private:
    QString programDir_;
    PortLister lister_;
};

} // namespace orbalis
