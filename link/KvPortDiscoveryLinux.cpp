// Serial devices on Linux: libudev lists them with what its database knows
// (stable by-id names, the USB id database's names, the driver); sysfs fills
// in what the database does not hold (in containers there is none). Without
// udev at all, sysfs alone.
#include <libudev.h>

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <cstring>
#include <memory>

#include "KvPortDiscovery.h"
#include "KvPortProperties.h"

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

std::string Attribute(udev_device* device, const char* name) {
    std::string text = Text(udev_device_get_sysattr_value(device, name));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// A by-id link that leads to `node`, looked for in the folder itself when the
// udev database has none (a missing database, or a link made by hand).
std::string ByIdLinkTo(const std::string& node) {
    const std::string dir = "/dev/serial/by-id";
    char wanted[PATH_MAX];
    if (!realpath(node.c_str(), wanted)) return {};
    std::string found;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string link = dir + "/" + e->d_name;
            char target[PATH_MAX];
            if (realpath(link.c_str(), target) && std::strcmp(target, wanted) == 0 && (found.empty() || link < found)) {
                found = link;
            }
        }
        closedir(d);
    }
    return found;
}

KvPortProperties PropertiesOf(udev_device* device) {
    KvPortProperties p;
    for (udev_list_entry* e = udev_device_get_properties_list_entry(device); e; e = udev_list_entry_get_next(e)) {
        p[Text(udev_list_entry_get_name(e))] = Text(udev_list_entry_get_value(e));
    }
    p["DEVNAME"] = Text(udev_device_get_devnode(device));
    if (p["DEVLINKS"].find("/dev/serial/by-id/") == std::string::npos) {
        const std::string link = ByIdLinkTo(p["DEVNAME"]);
        if (!link.empty()) p["DEVLINKS"] = link + (p["DEVLINKS"].empty() ? "" : " " + p["DEVLINKS"]);
    }
    // Parents belong to the device and are not unreferenced here.
    for (udev_device* parent = udev_device_get_parent(device); parent; parent = udev_device_get_parent(parent)) {
        // The serial core's own port and controller devices sit between the
        // tty and the hardware's driver.
        if (Text(udev_device_get_subsystem(parent)) == "serial-base") continue;
        const std::string driver = Text(udev_device_get_driver(parent));
        if (!driver.empty()) {
            p["DRIVER"] = driver;
            break;
        }
    }
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) {
        p["SYSFS_MANUFACTURER"] = Attribute(usb, "manufacturer");
        p["SYSFS_PRODUCT"] = Attribute(usb, "product");
        p["SYSFS_SERIAL"] = Attribute(usb, "serial");
        if (p["ID_VENDOR_ID"].empty()) p["ID_VENDOR_ID"] = Attribute(usb, "idVendor");
        if (p["ID_MODEL_ID"].empty()) p["ID_MODEL_ID"] = Attribute(usb, "idProduct");
    }
    return p;
}

// False when udev cannot be used at all.
bool DiscoverWithUdev(std::vector<KvPortInfo>& ports) {
    UdevPtr<udev> context(udev_new());
    if (!context) return false;
    UdevPtr<udev_enumerate> list(udev_enumerate_new(context.get()));
    if (!list || udev_enumerate_add_match_subsystem(list.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(list.get()) < 0) {
        return false;
    }
    for (udev_list_entry* e = udev_enumerate_get_list_entry(list.get()); e; e = udev_list_entry_get_next(e)) {
        UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(e)));
        if (!device || !udev_device_get_devnode(device.get())) continue;
        // Virtual terminals, the console and pseudo-terminals have no parent device.
        if (!udev_device_get_parent(device.get())) continue;
        // A ttyS name with no UART behind it (type 0) is no port.
        const std::string sysname = Text(udev_device_get_sysname(device.get()));
        if (sysname.rfind("ttyS", 0) == 0 && Attribute(device.get(), "type") == "0") continue;
        ports.push_back(KvPortInfoFromProperties(PropertiesOf(device.get())));
    }
    return true;
}

}  // namespace

std::vector<KvPortInfo> KvDiscoverSerialPorts() {
    std::vector<KvPortInfo> ports;
    // TARNIK_SYSFS_ROOT names a folder laid out as /sys (class/tty, devices)
    // that stands in for this machine's devices, the nodes named under /dev or,
    // with TARNIK_DEV_ROOT, under that folder (links to pseudo-terminals, say):
    // for pictures and checks of the port lists and searches without adapters.
    if (const char* root = getenv("TARNIK_SYSFS_ROOT"); root != nullptr && *root != '\0') {
        const char* dev = getenv("TARNIK_DEV_ROOT");
        ports = KvDiscoverSerialPortsInSysfs(root, dev != nullptr && *dev != '\0' ? dev : "/dev");
    } else if (!DiscoverWithUdev(ports)) {
        ports = KvDiscoverSerialPortsInSysfs("/sys", "/dev");
    }
    KvSortPorts(ports);
    return ports;
}
