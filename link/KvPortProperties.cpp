#include "KvPortProperties.h"

#include "KvPortName.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace {

std::string Get(const KvPortProperties& p, const char* key) {
    const auto it = p.find(key);
    return it == p.end() ? std::string() : it->second;
}

// The first of the candidates that is not empty.
std::string FirstOf(std::initializer_list<std::string> candidates) {
    for (const std::string& c : candidates) {
        if (!c.empty()) return c;
    }
    return {};
}

// udev writes ID_VENDOR and ID_MODEL with "_" for every space.
std::string Spaced(std::string text) {
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    std::string text;
    std::getline(file, text, '\0');
    return Trimmed(text);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::string> NamesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string KvDecodeUdevText(const std::string& encoded) {
    std::string text;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 3]))) {
            text += static_cast<char>(std::stoi(encoded.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            text += encoded[i];
        }
    }
    return text;
}

KvPortInfo KvPortInfoFromProperties(const KvPortProperties& p) {
    KvPortInfo port;
    port.path = Get(p, "DEVNAME");
    port.name = port.path;
    const std::string links = Get(p, "DEVLINKS");
    for (std::size_t at = 0; at < links.size();) {
        const std::size_t end = std::min(links.find(' ', at), links.size());
        const std::string link = links.substr(at, end - at);
        if (port.byIdPath.empty() && link.find("/serial/by-id/") != std::string::npos) port.byIdPath = link;
        at = end + 1;
    }
    // The device's own strings first (what is printed on the adapter's box),
    // then the names of the USB id database, then the bare ids.
    port.vendor =
        Trimmed(FirstOf({KvDecodeUdevText(Get(p, "ID_VENDOR_ENC")), Get(p, "SYSFS_MANUFACTURER"),
                         Get(p, "ID_VENDOR_FROM_DATABASE"), Spaced(Get(p, "ID_VENDOR")), Get(p, "ID_VENDOR_ID")}));
    port.product =
        Trimmed(FirstOf({KvDecodeUdevText(Get(p, "ID_MODEL_ENC")), Get(p, "SYSFS_PRODUCT"),
                         Get(p, "ID_MODEL_FROM_DATABASE"), Spaced(Get(p, "ID_MODEL")), Get(p, "ID_MODEL_ID")}));
    port.serialNumber = Trimmed(FirstOf({Get(p, "ID_SERIAL_SHORT"), Get(p, "SYSFS_SERIAL")}));
    port.driver = FirstOf({Get(p, "DRIVER"), Get(p, "ID_USB_DRIVER")});
    return port;
}

// A ttyS name is a UART of the 8250 family: on the board, on a PCI card.
bool KvIsBuiltInPort(const KvPortInfo& port) { return BaseName(port.path).rfind("ttyS", 0) == 0; }

void KvSortPorts(std::vector<KvPortInfo>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const KvPortInfo& a, const KvPortInfo& b) {
        if (KvIsBuiltInPort(a) != KvIsBuiltInPort(b)) return KvIsBuiltInPort(a);
        return KvPortNameLess(a.path, b.path);
    });
}

std::vector<KvPortInfo> KvDiscoverSerialPortsInSysfs(const std::string& sysRoot, const std::string& devRoot) {
    std::vector<KvPortInfo> ports;
    const std::string classDir = sysRoot + "/class/tty";
    // Stable links to each node, to be matched by where they lead.
    std::map<std::string, std::string> byId;
    const std::string byIdDir = devRoot + "/serial/by-id";
    for (const std::string& link : NamesIn(byIdDir)) {
        const std::string target = RealPath(byIdDir + "/" + link);
        if (!target.empty() && byId.count(target) == 0) byId[target] = byIdDir + "/" + link;
    }
    for (const std::string& name : NamesIn(classDir)) {
        const std::string ttyDir = classDir + "/" + name;
        // Virtual terminals, the console and pseudo-terminals have no device behind them.
        const std::string device = RealPath(ttyDir + "/device");
        if (device.empty()) continue;
        if (name.rfind("ttyS", 0) == 0 && ReadText(ttyDir + "/type") == "0") continue;

        KvPortProperties p;
        std::string node = name;
        std::ifstream uevent(ttyDir + "/uevent");
        for (std::string line; std::getline(uevent, line);) {
            if (line.rfind("DEVNAME=", 0) == 0) node = line.substr(8);
        }
        p["DEVNAME"] = devRoot + "/" + node;
        const std::string real = RealPath(p["DEVNAME"]);
        if (const auto it = byId.find(real.empty() ? p["DEVNAME"] : real); it != byId.end()) p["DEVLINKS"] = it->second;

        const std::string top = RealPath(sysRoot + "/devices");
        for (std::string dir = device; !dir.empty() && dir != top; dir = Parent(dir)) {
            // The serial core's own port and controller devices sit between the
            // tty and the hardware's driver.
            if (p.count("DRIVER") == 0 && BaseName(LinkTarget(dir + "/subsystem")) != "serial-base") {
                const std::string driver = BaseName(LinkTarget(dir + "/driver"));
                if (!driver.empty()) p["DRIVER"] = driver;
            }
            if (Exists(dir + "/idVendor") && Exists(dir + "/idProduct")) {
                p["ID_VENDOR_ID"] = ReadText(dir + "/idVendor");
                p["ID_MODEL_ID"] = ReadText(dir + "/idProduct");
                p["SYSFS_MANUFACTURER"] = ReadText(dir + "/manufacturer");
                p["SYSFS_PRODUCT"] = ReadText(dir + "/product");
                p["SYSFS_SERIAL"] = ReadText(dir + "/serial");
                break;
            }
        }
        ports.push_back(KvPortInfoFromProperties(p));
    }
    KvSortPorts(ports);
    return ports;
}
