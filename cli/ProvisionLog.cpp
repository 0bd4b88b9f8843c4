#include "ProvisionLog.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#define KV_OPEN _open
#define KV_WRITE _write
#define KV_CLOSE _close
#define KV_SYNC _commit
#else
#include <sys/file.h>
#include <unistd.h>
#define KV_OPEN open
#define KV_WRITE write
#define KV_CLOSE close
#define KV_SYNC fsync
#endif

namespace {

constexpr int kLastAddress = 9999;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A serial number as a record or a plan gives it: a number or its nine digits.
bool SerialOf(const nlohmann::json& value, std::uint32_t& serial) {
    std::string text;
    if (value.is_number_unsigned()) {
        text = std::to_string(value.get<std::uint64_t>());
    } else if (value.is_string()) {
        text = value.get<std::string>();
    } else {
        return false;
    }
    if (!AllDigits(text) || text.size() > 9) return false;
    serial = static_cast<std::uint32_t>(std::stoul(text));
    return true;
}

std::string Trim(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        cells.push_back(Trim(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return cells;
        start = comma + 1;
    }
}

}  // namespace

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// ---------------------------------------------------------------- log

ProvisionLog::~ProvisionLog() {
    if (fd_ >= 0) KV_CLOSE(fd_);
}

std::string ProvisionLog::Open(const std::string& path) {
    path_ = path;
    std::ifstream file(path, std::ios::binary);
    bool endsInNewline = true;
    if (file) {
        std::string line;
        int number = 0;
        while (std::getline(file, line)) {
            ++number;
            if (Trim(line).empty()) continue;
            const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
            std::string problem = record.is_discarded() ? "not a JSON object" : Take(record);
            if (!problem.empty()) {
                return path + ":" + std::to_string(number) + ": " + problem +
                       "; the log is left as it is (mend or move it, then run again)";
            }
            endsInNewline = !file.eof();
        }
    }
#ifdef _WIN32
    fd_ = KV_OPEN(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd_ = KV_OPEN(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd_ < 0) return path + ": cannot be opened for appending: " + std::strerror(errno);
#ifndef _WIN32
    // Two runs on one log could hand out one address twice.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        KV_CLOSE(fd_);
        fd_ = -1;
        return path + ": in use by another run";
    }
#endif
    // A last line without its line end (edited by hand) must not run into the next record.
    if (!endsInNewline && KV_WRITE(fd_, "\n", 1) != 1) return path + ": cannot write: " + std::strerror(errno);
    return "";
}

std::string ProvisionLog::Take(const nlohmann::json& record) {
    if (!record.is_object()) return "not a JSON object";
    std::uint32_t serial = 0;
    if (!record.contains("serialNumber") || !SerialOf(record["serialNumber"], serial)) {
        return "serialNumber: missing or not 0 to 999999999";
    }
    const nlohmann::json& result = record.contains("result") ? record["result"] : nlohmann::json();
    if (!result.is_string() || (result != "done" && result != "failed")) return "result: not \"done\" or \"failed\"";
    if (record.contains("address") && !record["address"].is_null()) {
        const nlohmann::json& value = record["address"];
        if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > kLastAddress) {
            return "address: not 0 to 9999 or null";
        }
        const int address = value.get<int>();
        const auto holder = holderOf_.find(address);
        if (holder != holderOf_.end() && holder->second != serial) {
            return "address " + std::to_string(address) + " is given to two units";
        }
        addressOf_[serial] = address;
        holderOf_[address] = serial;
    }
    if (result == "done") {
        done_.insert(serial);
        doneAt_[serial] = record.contains("time") && record["time"].is_string() ? record["time"].get<std::string>()
                                                                                : std::string();
    }
    return "";
}

std::string ProvisionLog::Append(const nlohmann::ordered_json& record) {
    const nlohmann::json plain = nlohmann::json::parse(record.dump());
    std::string problem = Take(plain);
    if (!problem.empty()) return path_ + ": record not written: " + problem;
    const std::string line = record.dump() + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const auto put = KV_WRITE(fd_, line.data() + done, static_cast<unsigned>(line.size() - done));
        if (put <= 0) return path_ + ": cannot write: " + std::strerror(errno);
        done += static_cast<std::size_t>(put);
    }
    if (KV_SYNC(fd_) != 0) return path_ + ": cannot write through to the disk: " + std::strerror(errno);
    return "";
}

std::string ProvisionLog::DoneAt(std::uint32_t serial) const {
    const auto it = doneAt_.find(serial);
    return it == doneAt_.end() ? std::string() : it->second;
}

std::optional<int> ProvisionLog::AddressOf(std::uint32_t serial) const {
    const auto it = addressOf_.find(serial);
    if (it == addressOf_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> ProvisionLog::HolderOf(int address) const {
    const auto it = holderOf_.find(address);
    if (it == holderOf_.end()) return std::nullopt;
    return it->second;
}

std::string ProvisionLog::AddressFor(std::uint32_t serial, std::optional<int> planned, std::optional<int> from,
                                     const std::set<int>& reserved, int& address) const {
    char number[16];
    if (const std::optional<int> earlier = AddressOf(serial)) {
        if (planned && *planned != *earlier) {
            return "an earlier run gave it address " + std::to_string(*earlier) + ", the plan says " +
                   std::to_string(*planned);
        }
        address = *earlier;
        return "";
    }
    if (planned) {
        if (const std::optional<std::uint32_t> holder = HolderOf(*planned)) {
            std::snprintf(number, sizeof number, "%09u", static_cast<unsigned>(*holder));
            return "its planned address " + std::to_string(*planned) + " was already given to " + number;
        }
        address = *planned;
        return "";
    }
    if (!from) return "it is not in the plan and no --address-from was given";
    for (int candidate = *from; candidate <= kLastAddress; ++candidate) {
        if (holderOf_.count(candidate) == 0 && reserved.count(candidate) == 0) {
            address = candidate;
            return "";
        }
    }
    return "every address from " + std::to_string(*from) + " to 9999 has been given out";
}

// ---------------------------------------------------------------- plan

std::string ProvisionPlan::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return path + ": cannot be read";
    std::vector<std::string> columns;
    std::map<int, std::uint32_t> holders;
    std::string line;
    int number = 0;
    auto at = [&](const std::string& problem) { return path + ":" + std::to_string(number) + ": " + problem; };
    while (std::getline(file, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells = SplitCells(line);
        if (columns.empty()) {
            columns = cells;
            bool serialColumn = false;
            for (std::string& column : columns) {
                if (column == "serial") column = "serialNumber";
                serialColumn = serialColumn || column == "serialNumber";
            }
            if (!serialColumn) return at("the first line names the columns and needs serialNumber");
            continue;
        }
        if (cells.size() != columns.size()) {
            return at(std::to_string(cells.size()) + " cells, the first line names " + std::to_string(columns.size()));
        }
        // The row as a profile, checked like one.
        nlohmann::json profile = nlohmann::json::object();
        std::uint32_t serial = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string& cell = cells[i];
            if (columns[i] == "serialNumber") {
                if (!SerialOf(cell, serial)) return at("serialNumber: '" + cell + "' is not 0 to 999999999");
            } else if (cell.empty()) {
                continue;
            } else if (columns[i] == "parity" || columns[i] == "pins" || !AllDigits(cell) || cell.size() > 9) {
                profile[columns[i]] = cell;
            } else {
                profile[columns[i]] = std::stoll(cell);
            }
        }
        SettingValues values;
        const std::string problem = ProfileValues(profile, values);
        if (!problem.empty()) return at(problem);
        if (units.count(serial) != 0) return at("serial number " + cells.front() + " is planned twice");
        if (values.address) {
            const auto holder = holders.find(*values.address);
            if (holder != holders.end()) {
                return at("address " + std::to_string(*values.address) + " is planned for two units");
            }
            holders[*values.address] = serial;
        }
        units[serial] = values;
    }
    if (columns.empty()) return path + ": empty plan";
    return "";
}

const SettingValues* ProvisionPlan::Find(std::uint32_t serial) const {
    const auto it = units.find(serial);
    return it == units.end() ? nullptr : &it->second;
}

std::set<int> ProvisionPlan::AddressesBesides(std::uint32_t serial) const {
    std::set<int> addresses;
    for (const auto& [unit, values] : units) {
        if (unit != serial && values.address) addresses.insert(*values.address);
    }
    return addresses;
}
