#include "KvPortReservation.h"

#include "KvPortName.h"

#include <mutex>
#include <utility>
#include <vector>

namespace {

struct Entry {
    std::string name;
    int count = 0;
    std::shared_ptr<KvHeldDevice> device;
};

std::mutex lock;
std::vector<Entry> entries;

Entry* Find(const std::string& name) {
    for (Entry& e : entries) {
        if (KvSamePort(e.name, name)) return &e;
    }
    return nullptr;
}

void Count(const std::string& name) {
    if (name.empty()) return;
    std::lock_guard guard(lock);
    if (Entry* e = Find(name)) {
        ++e->count;
        return;
    }
    entries.push_back(Entry{name, 1, nullptr});
}

void Uncount(const std::string& name) {
    if (name.empty()) return;
    std::shared_ptr<KvHeldDevice> letGo;  // released outside the lock
    {
        std::lock_guard guard(lock);
        Entry* e = Find(name);
        if (!e || --e->count > 0) return;
        letGo = std::move(e->device);
        entries.erase(entries.begin() + (e - entries.data()));
    }
}

}  // namespace

KvPortReservation::KvPortReservation(const KvString& portName) : name_(portName.Bytes()) { Count(name_); }

KvPortReservation::~KvPortReservation() { Uncount(name_); }

void KvPortReservation::MoveTo(const KvString& portName) {
    if (KvSamePort(portName.Bytes(), name_)) return;
    // The new port first: moving between two names of one reservation count
    // never lets the old one go in between.
    Count(portName.Bytes());
    Uncount(name_);
    name_ = portName.Bytes();
}

bool KvPortReservation::Holds() const { return KvPortReservations::Held(name_) != nullptr; }

namespace KvPortReservations {

bool Reserved(const std::string& portName) {
    std::lock_guard guard(lock);
    return !portName.empty() && Find(portName) != nullptr;
}

std::shared_ptr<KvHeldDevice> Held(const std::string& portName) {
    std::lock_guard guard(lock);
    const Entry* e = portName.empty() ? nullptr : Find(portName);
    return e ? e->device : nullptr;
}

void Hold(const std::string& portName, const std::shared_ptr<KvHeldDevice>& device) {
    std::lock_guard guard(lock);
    if (Entry* e = Find(portName)) e->device = device;
}

void Forget(const KvHeldDevice* device) {
    std::vector<std::shared_ptr<KvHeldDevice>> letGo;  // released outside the lock
    std::lock_guard guard(lock);
    for (Entry& e : entries) {
        if (e.device.get() == device) letGo.push_back(std::move(e.device));
    }
}

}  // namespace KvPortReservations
