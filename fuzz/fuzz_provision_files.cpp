// The production bench's two input files: any bytes as a plan and as a log
// that an earlier run left (a cut record, a hand edit, a file from another
// program).
//
// Checked: neither reader throws; a plan that loads holds no address twice nor one
// beyond 9999; the address a log that opens hands out to a
// new unit is held by no earlier record.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "FuzzFail.h"
#include "ProvisionLog.h"

namespace {

std::string FileWith(const std::uint8_t* data, std::size_t size) {
    const std::string path = "/tmp/fuzz-provision-" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) Fail("cannot write the input file");
    if (size != 0 && std::fwrite(data, 1, size, file) != size) Fail("cannot write the input file");
    std::fclose(file);
    return path;
}

void CheckPlan(const std::string& path) {
    ProvisionPlan plan;
    if (!plan.Load(path).empty()) return;
    std::set<int> addresses;
    for (const auto& [serial, values] : plan.units) {
        if (serial > 999999999u) Fail("a plan's serial number beyond nine digits");
        if (!values.address) continue;
        if (*values.address < 0 || *values.address > 9999) Fail("a plan's address out of range");
        if (!addresses.insert(*values.address).second) Fail("a plan gives one address twice");
    }
}

void CheckLog(const std::string& path) {
    ProvisionLog log;
    if (!log.Open(path).empty()) return;
    int address = -1;
    if (log.AddressFor(1000000000u - 1, std::nullopt, 0, {}, address).empty()) {
        const std::optional<std::uint32_t> holder = log.HolderOf(address);
        if (holder && *holder != 999999999u) Fail("an address handed out that a record gave another unit");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string path = FileWith(data + 1, size - 1);
    if (data[0] & 1) {
        CheckPlan(path);
    } else {
        CheckLog(path);
    }
    std::remove(path.c_str());
    return 0;
}
