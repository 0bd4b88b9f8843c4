#include "PortList.h"

#include <algorithm>

namespace {

constexpr int kComPorts = 20;

bool SameName(const std::string& a, const std::string& b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&lower](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::vector<CPortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                            const std::vector<std::string>& named)
{
    std::vector<CPortListEntry> entries;
    auto find = [&entries](const std::string& name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&name](const CPortListEntry& e) { return SameName(e.name, name); });
    };
    for (int n = 1; n <= kComPorts; ++n) {
        const std::string name = "COM" + std::to_string(n);
        entries.push_back({name, name});
    }
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
