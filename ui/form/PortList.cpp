#include "PortList.h"

#include <algorithm>

#include "KvPortName.h"

std::string PortShortName(const std::string& name) {
    if (name.empty() || name.front() != '/') return name;
    const std::string base = name.substr(name.find_last_of('/') + 1);
    return base.empty() ? name : base;
}

std::vector<CPortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                            const std::vector<std::string>& named) {
    std::vector<CPortListEntry> entries;
    auto find = [&entries](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&name](const CPortListEntry& e) { return KvSamePort(e.name, name); });
    };
    // A listed name that opens `name` shows which device it is ("COM1  /dev/ttyS0").
    auto entryText = [](const std::string& listed, const std::string& name, const std::string& description) {
        std::string text = listed;
        if (!KvSamePortName(listed, name)) text += "  " + name;
        if (!description.empty()) text += "  " + description;
        return text;
    };
    for (const std::string& name : KvListedComNames()) entries.push_back({name, name, name});
    for (const KvPortInfo& port : discovered) {
        const std::string description = KvDescribePort(port);
        const auto existing = find(port.name);
        if (existing != entries.end()) {
            existing->text = entryText(existing->name, port.name, description);
        } else {
            entries.push_back({port.name, entryText(port.name, port.name, description), PortShortName(port.name)});
        }
    }
    for (const std::string& name : named) {
        const auto existing = find(name);
        if (existing == entries.end()) {
            entries.push_back({name, name, PortShortName(name)});
        } else if (existing->text == existing->name) {
            existing->text = entryText(existing->name, name, {});
        }
    }
    return entries;
}

std::vector<std::string> PortListNames(const std::vector<CPortListEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const CPortListEntry& e : entries) names.push_back(e.name);
    return names;
}
