#pragma once

#include <QString>

namespace modem {

// The device a stored port setting names. A device path is used as it stands; a number n
// alone is the n-th classic serial port, /dev/ttyS<n-1>, the way the port list counts them.
QString serialDevicePath(const QString& commPortName, const QString& commPortNo);
// The other way round: the classic port number kept beside a device, "3" for /dev/ttyS2 or for
// "3" itself; "0" for every other device.
QString classicPortNumber(const QString& device);

} // namespace modem
