#include "PortList.h"

#include <algorithm>

#include "KvPortName.h"

std::vector<CPortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                            const std::vector<std::string>& named)
{
    std::vector<CPortListEntry> entries;
    auto find = [&entries](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&name](const CPortListEntry& e) { return KvSamePortName(e.name, name); });
    };
    for (const std::string& name : KvListedComNames()) entries.push_back({name, name});
    for (const KvPortInfo& port : discovered) {
        const std::string description = KvDescribePort(port);
        const std::string text = description.empty() ? port.name : port.name + "  " + description;
        const auto existing = find(port.name);
        if (existing != entries.end()) {
            existing->text = text;
        } else {
            entries.push_back({port.name, text});
        }
    }
    for (const std::string& name : named) {
        if (find(name) == entries.end()) entries.push_back({name, name});
    }
    return entries;
}

std::vector<std::string> PortListNames(const std::vector<CPortListEntry>& entries)
{
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const CPortListEntry& e : entries) names.push_back(e.name);
    return names;
}
