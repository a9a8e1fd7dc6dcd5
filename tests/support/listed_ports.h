#pragma once

#include "link/com_port_resolver.h"

#include <QString>

namespace orbalis::test {

// A USB serial adapter on `device` as udev lists it: vendor, product and
// serial number, and its /dev/serial/by-id link, by which it is found again.
inline ListedPort usbAdapter(const QString &device, const QString &name)
{
    ListedPort p;
    p.portName = name;
    p.systemLocation = device;
    p.description = QStringLiteral("FT232R USB UART");
    p.manufacturer = QStringLiteral("FTDI");
    p.serialNumber = QStringLiteral("AK05B7Q2");
    p.vendorId = 0x0403;
    p.productId = 0x6001;
    p.byIdPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_AK05B7Q2-if00-port0");
    return p;
}

// A port with nothing to tell it by but its device, as an on-board UART.
inline ListedPort onBoardUart(const QString &device)
{
    ListedPort p;
    p.portName = QStringLiteral("ttyS0");
    p.systemLocation = device;
    return p;
}

} // namespace orbalis::test
