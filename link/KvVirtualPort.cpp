#include "KvVirtualPort.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace {
std::string Folded(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

struct Table {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<KvVirtualPort>> ports;
};

Table& Ports() {
    static Table table;
    return table;
}
}  // namespace

namespace KvVirtualPorts {
void Register(const std::string& name, std::shared_ptr<KvVirtualPort> port) {
    std::lock_guard guard(Ports().lock);
    Ports().ports[Folded(name)] = std::move(port);
}

void Unregister(const std::string& name) {
    std::lock_guard guard(Ports().lock);
    Ports().ports.erase(Folded(name));
}

std::shared_ptr<KvVirtualPort> Find(const std::string& name) {
    std::lock_guard guard(Ports().lock);
    const auto it = Ports().ports.find(Folded(name));
    return it == Ports().ports.end() ? nullptr : it->second;
}

Registration::Registration(std::string name, std::shared_ptr<KvVirtualPort> port) : name_(std::move(name)) {
    Register(name_, std::move(port));
}

Registration::~Registration() { Unregister(name_); }
}  // namespace KvVirtualPorts
