#pragma once
// How a serial device is described, from the properties the system keeps about
// it (the udev database, or sysfs where that database is missing). Pure
// functions, so that recorded properties can be checked without the device.
#include <map>
#include <string>
#include <vector>

#include "KvPortDiscovery.h"

// udev's property names (DEVNAME, DEVLINKS, ID_VENDOR_ENC, ID_MODEL_FROM_DATABASE,
// ID_SERIAL_SHORT, ID_USB_DRIVER ...) plus what is read from sysfs beside them:
// DRIVER (the driver of the nearest parent that has one, past the serial core's
// own port devices) and SYSFS_MANUFACTURER, SYSFS_PRODUCT, SYSFS_SERIAL (the
// USB device's own strings).
using KvPortProperties = std::map<std::string, std::string>;

// The port described by `properties`; DEVNAME is its device path.
KvPortInfo KvPortInfoFromProperties(const KvPortProperties& properties);

// udev's encoding of unsafe bytes in *_ENC properties: "\x20" for a space.
std::string KvDecodeUdevText(const std::string& encoded);

// Built-in ports (ttyS) first, then by name, runs of digits by value
// (ttyUSB2 before ttyUSB10).
void KvSortPorts(std::vector<KvPortInfo>& ports);

// The serial devices that `sysRoot`/class/tty lists with a parent device,
// their nodes under `devRoot`, described from sysfs alone. ttyS entries whose
// UART type is 0 (no UART behind the name) are left out.
std::vector<KvPortInfo> KvDiscoverSerialPortsInSysfs(const std::string& sysRoot, const std::string& devRoot);
