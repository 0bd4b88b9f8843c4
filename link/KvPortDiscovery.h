#pragma once
#include <string>
#include <vector>

// One serial device the operating system offers. Fields the system does not
// know stay empty.
struct KvPortInfo {
    std::string name;          // what the user types and the port opens: "COM3", "/dev/ttyUSB0"
    std::string path;          // the device node or Windows device ("/dev/ttyUSB0", "\\Device\\Serial0")
    std::string byIdPath;      // stable name, e.g. /dev/serial/by-id/usb-FTDI_..._A1B2-if00-port0
    std::string vendor;        // USB vendor name (or id when no name is known)
    std::string product;       // USB product name (or id)
    std::string serialNumber;  // USB serial number
    std::string driver;        // kernel driver or Windows service ("ftdi_sio", "serial", "usbser")
};

// The serial devices present now, in a stable order (built-in ports first,
// then by name). Never throws for a missing database: what cannot be read is
// left out.
std::vector<KvPortInfo> KvDiscoverSerialPorts();

// A UART on the board or on a card, as opposed to an adapter.
bool KvIsBuiltInPort(const KvPortInfo& port);

// The words a description is made of, for a program that says them in
// another language; "%s" stands for the serial number.
struct KvPortWords {
    std::string serialAlone = "serial number %s";  // when nothing else is known
    std::string serialAfter = ", serial number %s";
    std::string builtIn = "built-in serial port";
};

// One line describing the device for a list: "FTDI FT232R USB UART (ftdi_sio)".
// Empty when nothing beyond the name is known.
std::string KvDescribePort(const KvPortInfo& port, const KvPortWords& words = {});

// The USB serial number of a Windows port from the device instance ids of the
// port and its parents, nearest first: the last part of the first USB device's
// id ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000",
// "USB\VID_0403&PID_6001\A50285BI" -> "A50285BI"), an interface of a
// composite device ("USB\VID_2E8A&PID_000A&MI_00\...") handing on to its
// parent. "" when no USB device is among them or its last part holds '&' (Windows
// made that up for a device without a serial number); ids further up (a hub's)
// are never taken for the adapter's.
std::string KvUsbSerialNumber(const std::vector<std::string>& instanceIds);

// The port of the one USB adapter that `selector` ("usb:A50285BI", or without
// "usb:") names: by its serial number in full, else by a part of its serial
// number or (on Linux) of its /dev/serial/by-id name. Its by-id path when it has
// one (stable whatever else is plugged in), else its name (COM3). "" with
// `problem` set when no adapter or several match (`several` then true).
std::string KvFindUsbPort(const std::string& selector, const std::vector<KvPortInfo>& ports, std::string& problem,
                          bool& several);
