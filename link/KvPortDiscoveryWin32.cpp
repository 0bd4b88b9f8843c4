// The serial ports Windows offers. The serial device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) names every port a driver has
// started, "\Device\Serial0" -> "COM1"; the DOS device names add ports whose
// driver registered only a COMn link (some virtual port drivers do, and so do
// the ports Wine maps). Plug-and-play ports then get their friendly name,
// manufacturer and service from SetupAPI, and a USB adapter its serial number
// from the device instance ids of the port and its parents (the configuration
// manager, cfgmgr32.dll). Both are loaded when the ports are first looked for: a
// program that never lists them (velmora.exe until its port list is opened)
// starts without them and the libraries they pull in.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "KvPortDiscovery.h"
#include "KvPortName.h"

namespace {

std::string Utf8(const wchar_t* text, int length = -1) {
    if (!text || length == 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    if (length < 0 && !out.empty() && out.back() == '\0') out.pop_back();
    return out;
}

// Ports by COM number; later sources fill only what is still empty.
using PortMap = std::map<unsigned, KvPortInfo>;

void Add(PortMap& ports, const std::string& name, const std::string& path) {
    const unsigned number = KvComNumber(name);
    if (number == 0) return;
    KvPortInfo& port = ports[number];
    if (port.name.empty()) port.name = "COM" + std::to_string(number);
    if (port.path.empty()) port.path = path;
}

void FromDeviceMap(PortMap& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t device[256];
        wchar_t name[64];
        DWORD deviceLength = ARRAYSIZE(device);
        DWORD nameBytes = sizeof name - sizeof(wchar_t);
        DWORD type = 0;
        const LONG rc =
            RegEnumValueW(key, index, device, &deviceLength, nullptr, &type, reinterpret_cast<BYTE*>(name), &nameBytes);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        name[nameBytes / sizeof(wchar_t)] = L'\0';
        Add(ports, Utf8(name), Utf8(device, static_cast<int>(deviceLength)));
    }
    RegCloseKey(key);
}

void FromDosDevices(PortMap& ports) {
    // The list of every DOS device name; it grows while we read it, so retry.
    std::vector<wchar_t> names(16384);
    for (;;) {
        const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (length != 0) break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (1u << 22)) return;
        names.resize(names.size() * 2);
    }
    for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1) {
        const std::string utf8 = Utf8(name);
        if (KvComNumber(utf8) == 0) continue;
        wchar_t target[512] = {};
        std::string path;
        if (QueryDosDeviceW(name, target, ARRAYSIZE(target)) != 0) path = Utf8(target);
        Add(ports, utf8, path);
    }
}

// The SetupAPI functions used here, from setupapi.dll in the system folder.
struct SetupApi {
    decltype(&SetupDiGetClassDevsW) getClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInfo) enumDeviceInfo = nullptr;
    decltype(&SetupDiOpenDevRegKey) openDevRegKey = nullptr;
    decltype(&SetupDiGetDeviceRegistryPropertyW) getDeviceRegistryProperty = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = nullptr;
    bool loaded = false;
    // For the serial number only; a port lacking them is listed without it.
    decltype(&SetupDiGetDeviceInstanceIdW) getDeviceInstanceId = nullptr;
    decltype(&CM_Get_Parent) getParent = nullptr;  // from cfgmgr32.dll
    decltype(&CM_Get_Device_IDW) getDeviceId = nullptr;
};

template <typename F>
void Resolve(HMODULE module, const char* name, F& function) {
    // Through the one function pointer type GCC takes as matching every other.
    function = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loaded on the first call and kept for the process; `loaded` is false when
// the library or any of the functions is missing.
const SetupApi& LoadSetupApi() {
    static const SetupApi api = [] {
        SetupApi a;
        HMODULE module = LoadLibraryExW(L"setupapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) return a;
        Resolve(module, "SetupDiGetClassDevsW", a.getClassDevs);
        Resolve(module, "SetupDiEnumDeviceInfo", a.enumDeviceInfo);
        Resolve(module, "SetupDiOpenDevRegKey", a.openDevRegKey);
        Resolve(module, "SetupDiGetDeviceRegistryPropertyW", a.getDeviceRegistryProperty);
        Resolve(module, "SetupDiDestroyDeviceInfoList", a.destroyDeviceInfoList);
        a.loaded = a.getClassDevs && a.enumDeviceInfo && a.openDevRegKey && a.getDeviceRegistryProperty &&
                   a.destroyDeviceInfoList;
        Resolve(module, "SetupDiGetDeviceInstanceIdW", a.getDeviceInstanceId);
        HMODULE manager = LoadLibraryExW(L"cfgmgr32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (manager != nullptr) {
            Resolve(manager, "CM_Get_Parent", a.getParent);
            Resolve(manager, "CM_Get_Device_IDW", a.getDeviceId);
        }
        return a;
    }();
    return api;
}

std::string DeviceProperty(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512] = {};
    if (!api.getDeviceRegistryProperty(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer),
                                       sizeof buffer - sizeof(wchar_t), nullptr)) {
        return {};
    }
    return Utf8(buffer);
}

// The instance ids of the port's device and of up to three devices above it,
// nearest first. A USB adapter's own device is the port's device, its parent
// (when the port is an interface of a composite device, or a port of FTDI's bus
// driver) or two levels up when both stand between; KvUsbSerialNumber stops at it.
std::vector<std::string> InstanceIds(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::vector<std::string> ids;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!api.getDeviceInstanceId || !api.getDeviceInstanceId(set, &device, id, MAX_DEVICE_ID_LEN, nullptr)) {
        return ids;
    }
    ids.push_back(Utf8(id));
    if (!api.getParent || !api.getDeviceId) return ids;
    DEVINST node = device.DevInst;
    for (int level = 0; level < 3; ++level) {
        DEVINST parent = 0;
        wchar_t parentId[MAX_DEVICE_ID_LEN + 1] = {};
        if (api.getParent(&parent, node, 0) != CR_SUCCESS ||
            api.getDeviceId(parent, parentId, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
            break;
        }
        ids.push_back(Utf8(parentId));
        node = parent;
    }
    return ids;
}

// Friendly name, manufacturer, service and USB serial number of the
// plug-and-play ports; only for ports found above, so a removed adapter's stale
// entry never shows.
void FromSetupApi(PortMap& ports) {
    const SetupApi& api = LoadSetupApi();
    if (!api.loaded) return;
    HDEVINFO set = api.getClassDevs(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; api.enumDeviceInfo(set, index, &device); ++index) {
        HKEY key = api.openDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[64] = {};
        DWORD bytes = sizeof name - sizeof(wchar_t);
        DWORD type = 0;
        const LONG rc = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        const auto found = ports.find(KvComNumber(Utf8(name)));
        if (found == ports.end()) continue;
        KvPortInfo& port = found->second;
        if (port.product.empty()) {
            // "USB Serial Port (COM3)": the port's own name is said elsewhere.
            std::string product = DeviceProperty(api, set, device, SPDRP_FRIENDLYNAME);
            const std::string suffix = " (" + port.name + ")";
            if (product.size() > suffix.size() &&
                product.compare(product.size() - suffix.size(), suffix.size(), suffix) == 0) {
                product.resize(product.size() - suffix.size());
            }
            if (product.empty()) product = DeviceProperty(api, set, device, SPDRP_DEVICEDESC);
            port.product = product;
        }
        if (port.vendor.empty()) port.vendor = DeviceProperty(api, set, device, SPDRP_MFG);
        if (port.driver.empty()) port.driver = DeviceProperty(api, set, device, SPDRP_SERVICE);
        if (port.serialNumber.empty()) port.serialNumber = KvUsbSerialNumber(InstanceIds(api, set, device));
    }
    api.destroyDeviceInfoList(set);
}

}  // namespace

// Windows' own serial driver serves the UARTs on the board or a card.
bool KvIsBuiltInPort(const KvPortInfo& port) { return port.path.rfind("\\Device\\Serial", 0) == 0; }

std::vector<KvPortInfo> KvDiscoverSerialPorts() {
    PortMap ports;
    FromDeviceMap(ports);
    FromDosDevices(ports);
    FromSetupApi(ports);
    std::vector<KvPortInfo> list;
    list.reserve(ports.size());
    for (auto& entry : ports) list.push_back(std::move(entry.second));
    // The map keeps COM numbers in order; the motherboard's ports go first.
    std::stable_partition(list.begin(), list.end(), KvIsBuiltInPort);
    return list;
}
