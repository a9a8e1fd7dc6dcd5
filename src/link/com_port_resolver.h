#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

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

// What makes a device the same one after it was pulled and plugged in again,
// perhaps as another ttyUSB number. The first that applies counts:
//  - a ports/COMn link: the link itself, wherever it points now (the user
//    chose it; a restarted simulator links a new pseudo-terminal there);
//  - its /dev/serial/by-id name, which udev makes from make, model, serial
//    number and interface;
//  - USB vendor, product and serial number (where udev made no by-id name);
//  - the device path, for devices that do not come and go (ttyS0).
struct DeviceIdentity {
    QString link;            // programDir/ports/COMn, when bound by a link
    QString linkTarget;      // where the link pointed when it was last opened, for texts
    QString byIdPath;
    int vendorId = -1;
    int productId = -1;
    QString serialNumber;
    QString path;            // canonical device path when it was last seen
    QString description;     // what the system said of it

    bool isEmpty() const { return link.isEmpty() && path.isEmpty(); }
    // Whether a listed device is this one (links are matched by the resolver).
    bool matches(const ListedPort &p) const;
    // The device in words for the status bar and messages, e.g.
    // "FT232R USB UART (usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0)".
    QString text() const;
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
    std::optional<ComPortEntry> entryFor(int comNumber) const;

    // The identity of a resolved entry, to find the device again later.
    static DeviceIdentity identityOf(const ComPortEntry &entry);
    // The device of that identity among those present now, whatever COM
    // number it resolves to today; none when it is not there (a link that
    // is gone or leads nowhere counts as not there). Of several devices
    // alike, the one at the old path is taken first.
    std::optional<ComPortEntry> find(const DeviceIdentity &identity) const;

private:
    QString programDir_;
    PortLister lister_;
};

} // namespace orbalis
