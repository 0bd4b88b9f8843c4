#include "Ports.h"

#include <algorithm>
#include <string>

#include "Commands.h"
#include "Language.h"
#include "Output.h"

namespace {

nlohmann::ordered_json OrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

}  // namespace

std::string PortDescriptionText(const KvPortInfo& port) {
    KvPortWords words;
    words.serialAlone = Tr("serial number %s");
    words.serialAfter = Tr(", serial number %s");
    words.builtIn = Tr("built-in serial port");
    return KvDescribePort(port, words);
}

nlohmann::ordered_json PortsJson(const std::vector<KvPortInfo>& ports) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const KvPortInfo& p : ports) {
        nlohmann::ordered_json j;
        j["name"] = p.name;
        j["path"] = OrNull(p.path);
        j["byId"] = OrNull(p.byIdPath);
        j["vendor"] = OrNull(p.vendor);
        j["product"] = OrNull(p.product);
        j["serialNumber"] = OrNull(p.serialNumber);
        j["driver"] = OrNull(p.driver);
        j["description"] = OrNull(KvDescribePort(p));
        list.push_back(j);
    }
    return list;
}

std::string PortsText(const std::vector<KvPortInfo>& ports) {
    if (ports.empty()) return std::string(Tr("no serial devices found")) + "\n";
    std::size_t width = 0;
    for (const KvPortInfo& p : ports) width = std::max(width, p.name.size());
    std::string text;
    for (const KvPortInfo& p : ports) {
        const std::string description = PortDescriptionText(p);
        text += p.name;
        if (!description.empty()) text += std::string(width - p.name.size() + 2, ' ') + description;
        text += "\n";
        if (!p.byIdPath.empty()) text += std::string(width + 2, ' ') + p.byIdPath + "\n";
    }
    return text;
}

int RunPorts(bool json, std::FILE* out) {
    const std::vector<KvPortInfo> ports = KvDiscoverSerialPorts();
    if (json) {
        PrintJson(out, PortsJson(ports));
    } else {
        PrintText(out, PortsText(ports));
    }
    return kExitOk;
}
