#include "KvPortDiscovery.h"

std::string KvDescribePort(const KvPortInfo& port, const KvPortWords& words) {
    std::string text = port.vendor;
    // "FTDI" and "FTDI FT232R USB UART" would say the maker twice.
    if (!port.product.empty()) {
        if (text.empty() || port.product.rfind(text, 0) == 0) {
            text = port.product;
        } else {
            text += " " + port.product;
        }
    }
    if (!port.serialNumber.empty()) {
        std::string said = text.empty() ? words.serialAlone : words.serialAfter;
        const std::size_t at = said.find("%s");
        if (at != std::string::npos) said.replace(at, 2, port.serialNumber);
        text += said;
    }
    if (text.empty() && KvIsBuiltInPort(port)) text = words.builtIn;
    if (!port.driver.empty()) text += (text.empty() ? "(" : " (") + port.driver + ")";
    return text;
}

namespace {

// Windows spells the parts of an id as it likes ("USB\Vid_0403&Pid_6010").
// ASCII only, whatever the locale, so that positions stay those of the id.
std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

std::string KvUsbSerialNumber(const std::vector<std::string>& instanceIds) {
    for (const std::string& id : instanceIds) {
        const std::string upper = Upper(id);
        if (upper.rfind("USB\\", 0) != 0) continue;  // the port's own driver ("FTDIBUS\...")
        const std::size_t last = upper.find('\\', 4);
        if (last == std::string::npos) return "";
        const std::string hardware = upper.substr(4, last - 4);
        // One interface of a composite device: the device is its parent.
        if (hardware.find("&MI_") != std::string::npos) continue;
        // The USB device itself: its serial number or none, never a hub's above it.
        const std::string serial = id.substr(last + 1);
        const bool product = hardware.rfind("VID_", 0) == 0 && hardware.find("&PID_") != std::string::npos;
        if (!product || serial.empty() || serial.find_first_of("&\\") != std::string::npos) return "";
        return serial;
    }
    return "";
}

namespace {

#ifdef _WIN32
// Windows names an adapter by its COM number and serial number only, and the
// two ports of a dual adapter share the serial number.
const char* const kWhatToGive = "its serial number or a part of it";
const char* const kMatchedBy = "serial number";
const char* const kSeveralHint = "give more of it, or name the COM port";
#else
const char* const kWhatToGive = "its serial number or a part of its /dev/serial/by-id name";
const char* const kMatchedBy = "serial number or by-id name";
const char* const kSeveralHint = "give more of it";
#endif

// The by-id name without its folder: "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0".
std::string ByIdName(const KvPortInfo& port) {
    const std::size_t slash = port.byIdPath.rfind('/');
    return slash == std::string::npos ? port.byIdPath : port.byIdPath.substr(slash + 1);
}

std::string Listed(const std::vector<const KvPortInfo*>& ports) {
    std::string text;
    for (const KvPortInfo* p : ports) {
        const std::string description = KvDescribePort(*p);
        text += "\n  " + p->name + (description.empty() ? "" : "  " + description);
    }
    return text;
}

}  // namespace

std::string KvFindUsbPort(const std::string& selector, const std::vector<KvPortInfo>& ports, std::string& problem,
                          bool& several) {
    several = false;
    const std::string wanted = selector.rfind("usb:", 0) == 0 ? selector.substr(4) : selector;
    if (wanted.empty()) {
        problem = std::string("usb: names no adapter: give ") + kWhatToGive;
        return "";
    }
    // A serial number given in full wins over names that merely contain it
    // ("A5028" is part of "A50285BI" and of "A50285BJ").
    std::vector<const KvPortInfo*> exact, partial, adapters;
    for (const KvPortInfo& p : ports) {
        if (p.serialNumber.empty() && p.byIdPath.empty()) continue;
        adapters.push_back(&p);
        if (p.serialNumber == wanted) exact.push_back(&p);
        if (p.serialNumber.find(wanted) != std::string::npos || ByIdName(p).find(wanted) != std::string::npos) {
            partial.push_back(&p);
        }
    }
    const std::vector<const KvPortInfo*>& found = exact.empty() ? partial : exact;
    if (found.size() == 1) return found.front()->byIdPath.empty() ? found.front()->name : found.front()->byIdPath;
    if (found.empty()) {
        problem =
            "usb:" + wanted + " matches no adapter's " + kMatchedBy +
            (adapters.empty() ? std::string("; no USB adapter is present") : "; adapters present:" + Listed(adapters));
    } else {
        several = true;
        problem = "usb:" + wanted + " matches " + std::to_string(found.size()) + " adapters; " + kSeveralHint + ":" +
                  Listed(found);
    }
    return "";
}
