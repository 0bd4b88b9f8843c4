// The next module on a USB adapter (Linux): the adapter leaves, a new one
// arrives, told by udev's events for serial (tty) devices.
#include <libudev.h>
#include <poll.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "Language.h"
#include "NextModule.h"

namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool IsUsbSerial(udev_device* device) {
    const char* bus = udev_device_get_property_value(device, "ID_BUS");
    return bus != nullptr && std::strcmp(bus, "usb") == 0 && udev_device_get_devnode(device) != nullptr;
}

class UsbReplugNext : public NextModule {
public:
    UsbReplugNext(std::string port, udev* context, udev_monitor* monitor)
        : port_(std::move(port)), udev_(context), monitor_(monitor) {}
    ~UsbReplugNext() override {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }
    UsbReplugNext(const UsbReplugNext&) = delete;
    UsbReplugNext& operator=(const UsbReplugNext&) = delete;

    bool Wait(ConsoleHost& host, const std::string& what) override {
        // The device node behind the port now; gone already when the adapter
        // was pulled before we got here.
        std::string node = RealPath(port_);
        if (!node.empty()) host.Note(TrFormat("unplug the adapter of the module on %s (Ctrl-C ends)", port_.c_str()));
        while (!node.empty()) {
            udev_device* device = NextEvent();
            if (!device) continue;
            const char* action = udev_device_get_action(device);
            const char* devnode = udev_device_get_devnode(device);
            if (action && devnode && std::strcmp(action, "remove") == 0 && node == devnode) node.clear();
            udev_device_unref(device);
            struct stat st {};
            if (!node.empty() && stat(node.c_str(), &st) != 0) node.clear();
        }
        host.Note(TrFormat("plug in the adapter with %s (Ctrl-C ends)", what.c_str()));
        for (;;) {
            udev_device* device = NextEvent();
            if (!device) continue;
            const char* action = udev_device_get_action(device);
            if (action && std::strcmp(action, "add") == 0 && IsUsbSerial(device)) {
                // The name the user gave, when it leads to the new device again
                // (a by-id link, or the same ttyUSB number); otherwise the new node.
                const std::string devnode = udev_device_get_devnode(device);
                udev_device_unref(device);
                if (RealPath(port_) != devnode) port_ = devnode;
                host.Info(TrFormat("adapter arrived: %s", port_.c_str()));
                return true;
            }
            udev_device_unref(device);
        }
    }
    std::string Port() const override { return port_; }

private:
    // The next event, or null after a second without one.
    udev_device* NextEvent() {
        pollfd p{udev_monitor_get_fd(monitor_), POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) return nullptr;
        return udev_monitor_receive_device(monitor_);
    }

    std::string port_;
    udev* udev_;
    udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<NextModule> MakeUsbReplugNext(const std::string& port, std::string& problem) {
    udev* context = udev_new();
    if (!context) {
        problem = Tr("--next usb: udev cannot be reached");
        return nullptr;
    }
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        problem = Tr("--next usb: device events cannot be received (is udev running?)");
        return nullptr;
    }
    return std::make_unique<UsbReplugNext>(port, context, monitor);
}
