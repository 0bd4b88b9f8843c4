// Describing serial devices: from properties recorded on real machines, and
// from a sysfs tree laid out as the kernel lays it out.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KvPortName.h"
#include "KvPortProperties.h"
#include "Processes.h"

TEST(PortDiscovery, DescriptionsFromRecordedProperties) {
    const struct {
        const char* what;
        KvPortProperties properties;
        const char* byId;
        const char* description;
    } cases[] = {
        {"FTDI adapter, udev database present",
         {{"DEVNAME", "/dev/ttyUSB0"},
          {"DEVLINKS",
           "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 "
           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
          {"ID_VENDOR", "FTDI"},
          {"ID_VENDOR_ENC", "FTDI"},
          {"ID_VENDOR_ID", "0403"},
          {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"},
          {"ID_MODEL", "FT232R_USB_UART"},
          {"ID_MODEL_ENC", "FT232R\\x20USB\\x20UART"},
          {"ID_MODEL_ID", "6001"},
          {"ID_MODEL_FROM_DATABASE", "FT232 Serial (UART) IC"},
          {"ID_SERIAL_SHORT", "A50285BI"},
          {"ID_USB_DRIVER", "ftdi_sio"},
          {"DRIVER", "ftdi_sio"}},
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
         "FTDI FT232R USB UART, serial number A50285BI (ftdi_sio)"},
        {"CP2102: the product string already names the maker",
         {{"DEVNAME", "/dev/ttyUSB1"},
          {"ID_VENDOR_ENC", "Silicon\\x20Labs"},
          {"ID_MODEL_ENC", "Silicon\\x20Labs\\x20CP2102\\x20USB\\x20to\\x20UART\\x20Bridge"},
          {"ID_SERIAL_SHORT", "0001"},
          {"DRIVER", "cp210x"}},
         "",
         "Silicon Labs CP2102 USB to UART Bridge, serial number 0001 (cp210x)"},
        {"CH340 without strings of its own: the id database's names",
         {{"DEVNAME", "/dev/ttyUSB2"},
          {"ID_VENDOR_ID", "1a86"},
          {"ID_MODEL_ID", "7523"},
          {"ID_VENDOR_FROM_DATABASE", "QinHeng Electronics"},
          {"ID_MODEL_FROM_DATABASE", "CH340 serial converter"},
          {"ID_USB_DRIVER", "ch341"}},
         "",
         "QinHeng Electronics CH340 serial converter (ch341)"},
        {"container: no udev database, sysfs strings",
         {{"DEVNAME", "/dev/ttyACM0"},
          {"SYSFS_MANUFACTURER", "Arduino (www.arduino.cc)"},
          {"SYSFS_PRODUCT", "Arduino Uno"},
          {"SYSFS_SERIAL", "8573531303135170E1A1"},
          {"ID_VENDOR_ID", "2341"},
          {"ID_MODEL_ID", "0043"},
          {"DRIVER", "cdc_acm"}},
         "",
         "Arduino (www.arduino.cc) Arduino Uno, serial number 8573531303135170E1A1 (cdc_acm)"},
        {"only the ids",
         {{"DEVNAME", "/dev/ttyUSB3"}, {"ID_VENDOR_ID", "067b"}, {"ID_MODEL_ID", "2303"}},
         "",
         "067b 2303"},
        {"built-in UART", {{"DEVNAME", "/dev/ttyS0"}, {"DRIVER", "serial"}}, "", "built-in serial port (serial)"},
        {"nothing known", {{"DEVNAME", "/dev/ttyAMA0"}}, "", ""},
    };
    for (const auto& c : cases) {
        const KvPortInfo port = KvPortInfoFromProperties(c.properties);
        EXPECT_EQ(port.path, c.properties.at("DEVNAME")) << c.what;
        EXPECT_EQ(port.name, port.path) << c.what;
        EXPECT_EQ(port.byIdPath, c.byId) << c.what;
        EXPECT_EQ(KvDescribePort(port), c.description) << c.what;
    }
    EXPECT_EQ(KvDecodeUdevText("a\\x20b\\x5cx\\x2"), "a b\\x\\x2");
}

namespace {

void Make(const std::string& path, const std::string& text = "") {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        mkdir(path.substr(0, at).c_str(), 0755);
    }
    WriteFile(path, text);
}

void Link(const std::string& target, const std::string& link) {
    Make(link);
    unlink(link.c_str());
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}

}  // namespace

TEST(PortDiscovery, SysfsAloneNamesTheDevices) {
    TempDir root;
    const std::string sys = root.File("sys");
    const std::string dev = root.File("dev");
    const std::string usb = sys + "/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    // The kernel's layout: the tty under the USB interface's port device, the
    // USB device with its strings above; a built-in UART behind the serial
    // core's port device (driver "port"), a ttyS without a UART, a virtual terminal.
    Make(usb + "/idVendor", "0403\n");
    Make(usb + "/idProduct", "6001\n");
    Make(usb + "/manufacturer", "FTDI\n");
    Make(usb + "/product", "FT232R USB UART\n");
    Make(usb + "/serial", "A50285BI\n");
    Make(sys + "/bus/usb-serial/drivers/ftdi_sio/x");
    Make(sys + "/bus/serial-base/drivers/port/x");
    Make(sys + "/bus/pnp/drivers/serial/x");
    Make(sys + "/bus/serial-base/x");
    const std::string portDev = usb + "/1-2:1.0/ttyUSB10";
    Make(portDev + "/tty/ttyUSB10/uevent", "MAJOR=188\nMINOR=10\nDEVNAME=ttyUSB10\n");
    Link(sys + "/bus/usb-serial/drivers/ftdi_sio", portDev + "/driver");
    Link(portDev, portDev + "/tty/ttyUSB10/device");
    Link(portDev + "/tty/ttyUSB10", sys + "/class/tty/ttyUSB10");

    const std::string pnp = sys + "/devices/pnp0/00:00";
    const std::string port = pnp + "/00:00:0/00:00:0.0";
    Make(port + "/tty/ttyS0/type", "4\n");
    Make(port + "/tty/ttyS0/uevent", "DEVNAME=ttyS0\n");
    Link(sys + "/bus/serial-base/drivers/port", port + "/driver");
    Link(sys + "/bus/serial-base", port + "/subsystem");
    Link(sys + "/bus/pnp/drivers/serial", pnp + "/driver");
    Link(port, port + "/tty/ttyS0/device");
    Link(port + "/tty/ttyS0", sys + "/class/tty/ttyS0");

    const std::string platform = sys + "/devices/platform/serial8250";
    Make(platform + "/tty/ttyS1/type", "0\n");
    Link(platform, platform + "/tty/ttyS1/device");
    Link(platform + "/tty/ttyS1", sys + "/class/tty/ttyS1");
    Make(sys + "/devices/virtual/tty/tty1/uevent", "DEVNAME=tty1\n");
    Link(sys + "/devices/virtual/tty/tty1", sys + "/class/tty/tty1");

    Make(dev + "/ttyUSB10");
    Make(dev + "/ttyS0");
    Link(dev + "/ttyUSB10", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

    const std::vector<KvPortInfo> ports = KvDiscoverSerialPortsInSysfs(sys, dev);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].path, dev + "/ttyS0");
    EXPECT_EQ(KvDescribePort(ports[0]), "built-in serial port (serial)");
    EXPECT_EQ(ports[1].path, dev + "/ttyUSB10");
    EXPECT_EQ(ports[1].byIdPath, dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(KvDescribePort(ports[1]), "FTDI FT232R USB UART, serial number A50285BI (ftdi_sio)");
}

TEST(PortDiscovery, BuiltInPortsComeFirstThenByNumber) {
    std::vector<KvPortInfo> ports;
    for (const char* path : {"/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS10", "/dev/ttyUSB2", "/dev/ttyS2"}) {
        KvPortInfo p;
        p.path = p.name = path;
        ports.push_back(p);
    }
    KvSortPorts(ports);
    std::vector<std::string> order;
    for (const KvPortInfo& p : ports) order.push_back(p.path);
    EXPECT_EQ(order,
              (std::vector<std::string>{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

TEST(PortNames, TheDevicesPresentByPathAfterTheListedComPorts) {
    TempDir root;
    const std::string r = root.path();
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyAMA0", "rfcomm1", "tty1", "null",
                             ".hidden-ttyUSB3", "serial/by-id/usb-FTDI_FT232R_A1-if00-port0"}) {
        Make(r + "/" + name);
    }
    Make(r + "/ttyUSB9/x");  // a folder is no device
    EXPECT_EQ(KvSerialDevicePaths(r),
              (std::vector<std::string>{r + "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0", r + "/ttyUSB2",
                                        r + "/ttyUSB10", r + "/ttyACM0", r + "/ttyAMA0", r + "/rfcomm1"}));
    EXPECT_EQ(KvSerialDevicePaths(r + "/missing"), std::vector<std::string>{});
    const std::vector<std::string> listed = KvListedComNames();
    ASSERT_EQ(listed.size(), 20u);
    EXPECT_EQ(listed.front(), "COM1");
    EXPECT_EQ(listed.back(), "COM20");
}

TEST(PortNames, OneDeviceByEveryNameItHas) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"COM3", "com3", true},
        {"COM3", "/dev/ttyS2", true},
        {"COM3", "/dev/ttyS3", false},
        {"/dev/ttyUSB0", "/dev/ttyusb0", false},  // paths are as the file system has them
        {"COM03", "COM3", false},                 // no port name, compared as text
        {"COM1234567890", "COM1234567890", true},
    };
    for (const auto& c : cases) EXPECT_EQ(KvSamePort(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(KvPortDevicePath("com10"), "/dev/ttyS9");
    for (const char* notAPort : {"", "COM", "COM0", "COM03", "COM1x", "COM1234567890", "ttyS0"})
        EXPECT_EQ(KvPortDevicePath(notAPort), "") << notAPort;
    EXPECT_EQ(KvComNumber("COM999999999"), 999999999u);
}

TEST(PortDiscovery, UsbAdapterChosenBySerialNumberOrByIdFragment) {
    const auto adapter = [](const char* name, const char* serial, const char* byId) {
        KvPortInfo p;
        p.name = p.path = name;
        p.serialNumber = serial;
        p.byIdPath = byId;
        return p;
    };
    const std::vector<KvPortInfo> ports = {
        adapter("/dev/ttyS0", "", ""),
        adapter("/dev/ttyUSB0", "A50285BI", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"),
        adapter("/dev/ttyUSB1", "A50285BIX", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BIX-if00-port0"),
        adapter("/dev/ttyACM0", "0001", ""),
    };
    const struct {
        const char* selector;
        const char* port;  // "" when refused
        bool several;
        const char* problem;  // part of the refusal
    } cases[] = {
        {"usb:A50285BI", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", false, ""},
        {"usb:A50285BIX", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BIX-if00-port0", false, ""},
        {"usb:A50285", "", true, "matches 2 adapters"},
        {"usb:FT232R", "", true, "/dev/ttyUSB1"},
        {"usb:0001", "/dev/ttyACM0", false, ""},
        {"usb:ZZZ", "", false, "adapters present:\n  /dev/ttyUSB0"},
        {"usb:", "", false, "names no adapter"},
    };
    for (const auto& c : cases) {
        std::string problem;
        bool several = false;
        EXPECT_EQ(KvFindUsbPort(c.selector, ports, problem, several), c.port) << c.selector;
        EXPECT_EQ(several, c.several) << c.selector;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.selector << ": " << problem;
    }
    std::string problem;
    bool several = false;
    EXPECT_EQ(KvFindUsbPort("usb:A50285BI", {ports.front()}, problem, several), "");
    EXPECT_NE(problem.find("no USB adapter is present"), std::string::npos) << problem;
}

TEST(PortDiscovery, UsbSerialNumberFromWindowsInstanceIds) {
    const struct {
        std::vector<std::string> ids;  // the port's device first, then its parents
        const char* serial;
    } cases[] = {
        {{"USB\\VID_10C4&PID_EA60\\0001", "USB\\ROOT_HUB30\\4&2F1B3A&0&0"}, "0001"},
        {{"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "USB\\VID_0403&PID_6001\\A50285BI"}, "A50285BI"},
        {{"USB\\VID_2E8A&PID_000A&MI_00\\6&1A2B3C4D&0&0000", "USB\\VID_2E8A&PID_000A\\E6614103E7"}, "E6614103E7"},
        {{"FTDIBUS\\VID_0403+PID_6010+FT4ABCDEA\\0000", "USB\\VID_0403&PID_6010&MI_00\\7&3A&0&0000",
          "USB\\VID_0403&PID_6010\\FT4ABCDE"},
         "FT4ABCDE"},
        {{"usb\\Vid_0403&Pid_6010\\FTs3IQH4"}, "FTs3IQH4"},
        // No serial number of its own: Windows made one up, and the hub's above is not the adapter's.
        {{"USB\\VID_1A86&PID_7523\\5&2A3B4C5D&0&2", "USB\\VID_05E3&PID_0608\\HUB0001"}, ""},
        {{"ACPI\\PNP0501\\1", "ACPI\\PNP0A08\\0"}, ""},  // the board's UART
        {{""}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KvUsbSerialNumber(c.ids), c.serial) << c.ids.front();
    }
}
