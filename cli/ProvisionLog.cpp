#include "ProvisionLog.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#define KV_OPEN _open
#define KV_WRITE _write
#define KV_READ _read
#define KV_CLOSE _close
#define KV_SYNC _commit
#else
#include <sys/file.h>
#include <unistd.h>
#define KV_OPEN open
#define KV_WRITE write
#define KV_READ read
#define KV_CLOSE close
#define KV_SYNC fsync
#endif

#include "KvDevice.h"
#include "Output.h"
#include "Profile.h"
#include "Utf8Text.h"

namespace {

constexpr int kLastAddress = KvDevice::kLastAddress;
const std::string kLastSerial = std::to_string(KvDevice::kLastSerialNumber);
// A plan of a few thousand units is some hundred KiB.
constexpr std::size_t kPlanMaxBytes = 4 * 1024 * 1024;

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

// One record of a plan: its cells and the line it starts on.
struct CsvRow {
    int line = 0;
    std::vector<std::string> cells;
};

// Comma-separated values as RFC 4180 has them and spreadsheets write them: a
// cell in double quotes may hold commas, line ends and doubled quotes; a
// cell without quotes is taken without the blanks around it. Lines end in
// CR LF, LF or CR. Blank lines, and lines whose first cell starts with an
// unquoted #, are skipped. "" or "LINE: problem".
std::string ParseCsv(std::string_view text, std::vector<CsvRow>& rows) {
    std::size_t i = 0;
    int line = 1;
    const auto atLineEnd = [&] { return i < text.size() && (text[i] == '\r' || text[i] == '\n'); };
    const auto skipLineEnd = [&] {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
        ++line;
    };
    while (i < text.size()) {
        CsvRow row;
        row.line = line;
        bool comment = false;
        for (;;) {
            std::string cell;
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                for (;;) {
                    if (i >= text.size()) return TrFormat("%d: a quoted cell is not closed", opened);
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            cell += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
                    cell += text[i++];
                }
                while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
                if (i < text.size() && text[i] != ',' && !atLineEnd()) {
                    return TrFormat("%d: text after a quoted cell's closing quote", line);
                }
            } else {
                while (i < text.size() && text[i] != ',' && !atLineEnd()) cell += text[i++];
                cell = Trim(cell);
                if (row.cells.empty() && !cell.empty() && cell[0] == '#') comment = true;
            }
            row.cells.push_back(cell);
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (i < text.size()) skipLineEnd();
            break;
        }
        const bool blank = row.cells.size() == 1 && row.cells[0].empty();
        if (!blank && !comment) rows.push_back(std::move(row));
    }
    return "";
}

// The line of the first byte that is not UTF-8.
int FirstBadLine(std::string_view text) {
    int line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            if (!IsValidUtf8(text.substr(start, i - start))) return line;
            ++line;
            start = i + 1;
        }
    }
    return line;
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

// ---------------------------------------------------------------- record file

RecordFile::~RecordFile() {
    if (fd_ >= 0) KV_CLOSE(fd_);
}

std::string RecordFile::Open(const std::string& path, std::string& text) {
    path_ = path;
    text.clear();
#ifdef _WIN32
    // Denying other writers is Windows' lock: a second run cannot open the file at all.
    fd_ = _sopen(path.c_str(), _O_RDWR | _O_APPEND | _O_CREAT | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && errno == EACCES) return TrFormat("%s: in use by another run (or not writable)", path.c_str());
#else
    fd_ = KV_OPEN(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd_ < 0) return TrFormat("%s: cannot be opened for appending: %s", path.c_str(), std::strerror(errno));
#ifndef _WIN32
    // The lock comes before the reading: what a second run read before the
    // first had finished would be out of date, and could give an address twice.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        KV_CLOSE(fd_);
        fd_ = -1;
        return TrFormat("%s: in use by another run", path.c_str());
    }
#endif
    char chunk[65536];
    for (;;) {
        const auto got = KV_READ(fd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return TrFormat("%s: cannot be read: %s", path.c_str(), std::strerror(errno));
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return "";
}

std::string RecordFile::WriteLine(const std::string& line) {
    std::size_t done = 0;
    while (done < line.size()) {
        const auto put = KV_WRITE(fd_, line.data() + done, static_cast<unsigned>(line.size() - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return TrFormat("%s: cannot write: %s", path_.c_str(), std::strerror(errno));
        done += static_cast<std::size_t>(put);
    }
    return "";
}

std::string RecordFile::Sync() {
    if (KV_SYNC(fd_) != 0) {
        return TrFormat("%s: cannot write through to the disk: %s", path_.c_str(), std::strerror(errno));
    }
    return "";
}

std::string RecordFile::AppendLine(const std::string& line) {
    const std::string problem = WriteLine(line);
    return problem.empty() ? Sync() : problem;
}

std::string RecordFile::Append(const nlohmann::ordered_json& record) { return AppendLine(JsonText(record) + "\n"); }

// ---------------------------------------------------------------- log

std::string ProvisionLog::Open(const std::string& path) {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    std::string text;
    std::string problem = file_.Open(path, text);
    if (!problem.empty()) return problem;
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        ++number;
        if (Trim(line).empty()) continue;
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        problem = record.is_discarded() ? std::string(Tr("not a JSON object")) : Take(record);
        if (!problem.empty()) {
            file_ = RecordFile();
            return TrFormat("%s:%d: %s; the log is left as it is (mend or move it, then run again)", path.c_str(),
                            number, problem.c_str());
        }
    }
    // A last line without its line end (edited by hand) must not run into the next record.
    if (!text.empty() && text.back() != '\n') return file_.AppendLine("\n");
    return "";
}

std::string ProvisionLog::Take(const nlohmann::json& record) {
    if (!record.is_object()) return Tr("not a JSON object");
    std::uint32_t serial = 0;
    if (!record.contains("serialNumber") || !SerialOf(record["serialNumber"], serial)) {
        return TrFormat("serialNumber: missing or not 0 to %s", kLastSerial.c_str());
    }
    const nlohmann::json& result = record.contains("result") ? record["result"] : nlohmann::json();
    if (!result.is_string() || (result != "done" && result != "failed" && result != "started")) {
        return Tr("result: not \"started\", \"done\" or \"failed\"");
    }
    if (record.contains("address") && !record["address"].is_null()) {
        const nlohmann::json& value = record["address"];
        if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > kLastAddress) {
            return TrFormat("address: not 0 to %d or null", kLastAddress);
        }
        const int address = value.get<int>();
        const auto holder = holderOf_.find(address);
        if (holder != holderOf_.end() && holder->second != serial) {
            return TrFormat("address %d is given to two units", address);
        }
        addressOf_[serial] = address;
        holderOf_[address] = serial;
    }
    const std::string time =
        record.contains("time") && record["time"].is_string() ? record["time"].get<std::string>() : std::string();
    if (result == "started") {
        cutShort_[serial] = time;
    } else {
        cutShort_.erase(serial);
    }
    if (result == "done") {
        done_.insert(serial);
        doneAt_[serial] = time;
    }
    return "";
}

std::string ProvisionLog::Append(const nlohmann::ordered_json& record, std::unique_lock<std::recursive_mutex>* claim) {
    std::unique_lock<std::recursive_mutex> guard(lock_);
    // Checked as a later run will read it, before it goes in.
    const std::string problem = Take(nlohmann::json::parse(JsonText(record)));
    if (!problem.empty()) return TrFormat("%s: record not written: %s", file_.Path().c_str(), problem.c_str());
    const std::string written = file_.WriteLine(JsonText(record) + "\n");
    // The record is in the file and its address known to every station: the
    // others go on while this one waits for the disk.
    guard.unlock();
    if (claim && claim->owns_lock()) claim->unlock();
    return written.empty() ? file_.Sync() : written;
}

bool ProvisionLog::Done(std::uint32_t serial) const {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    return done_.count(serial) != 0;
}

std::string ProvisionLog::DoneAt(std::uint32_t serial) const {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    const auto it = doneAt_.find(serial);
    return it == doneAt_.end() ? std::string() : it->second;
}

std::optional<int> ProvisionLog::AddressOf(std::uint32_t serial) const {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    const auto it = addressOf_.find(serial);
    if (it == addressOf_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> ProvisionLog::HolderOf(int address) const {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    const auto it = holderOf_.find(address);
    if (it == holderOf_.end()) return std::nullopt;
    return it->second;
}

Said ProvisionLog::AddressFor(std::uint32_t serial, std::optional<int> planned, std::optional<int> from,
                              const std::set<int>& reserved, int& address) const {
    const std::lock_guard<std::recursive_mutex> guard(lock_);
    if (const std::optional<int> earlier = AddressOf(serial)) {
        if (planned && *planned != *earlier) {
            return Say(N_("an earlier run gave it address %d, the plan says %d"), *earlier, *planned);
        }
        address = *earlier;
        return {};
    }
    if (planned) {
        if (const std::optional<std::uint32_t> holder = HolderOf(*planned)) {
            return Say(N_("its planned address %d was already given to %s"), *planned,
                       FormatSerialNumber(*holder).c_str());
        }
        address = *planned;
        return {};
    }
    if (!from) return Say(N_("it is not in the plan and no --address-from was given"));
    for (int candidate = *from; candidate <= kLastAddress; ++candidate) {
        if (holderOf_.count(candidate) == 0 && reserved.count(candidate) == 0) {
            address = candidate;
            return {};
        }
    }
    return Say(N_("every address from %d to %d has been given out"), *from, kLastAddress);
}

// ---------------------------------------------------------------- plan

std::string ProvisionPlan::Load(const std::string& path) {
    std::string text;
    const std::string problem = ReadSmallFile(path, kPlanMaxBytes, "a plan holds one short line a unit", text);
    if (!problem.empty()) return problem;
    // A spreadsheet's "CSV UTF-8" starts with a byte-order mark.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    if (!IsValidUtf8(text)) {
        return TrFormat("%s:%d: not UTF-8 (saved as Shift_JIS?); save the plan as CSV UTF-8", path.c_str(),
                        static_cast<int>(FirstBadLine(text)));
    }
    std::vector<CsvRow> rows;
    const std::string malformed = ParseCsv(text, rows);
    if (!malformed.empty()) return path + ":" + malformed;
    if (rows.empty()) return TrFormat("%s: empty plan", path.c_str());

    int number = 0;
    auto at = [&](const std::string& what) { return path + ":" + std::to_string(number) + ": " + what; };
    std::vector<std::string> columns = rows.front().cells;
    number = rows.front().line;
    std::set<std::string> named;
    for (std::string& column : columns) {
        if (column == "serial") column = "serialNumber";
        if (!named.insert(column).second) return at(TrFormat("the column %s is named twice", column.c_str()));
    }
    if (named.count("serialNumber") == 0) return at(Tr("the first line names the columns and needs serialNumber"));

    std::map<int, std::uint32_t> holders;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string>& cells = rows[r].cells;
        number = rows[r].line;
        if (cells.size() != columns.size()) {
            return at(TrFormat("%d cells, the first line names %d", static_cast<int>(cells.size()),
                               static_cast<int>(columns.size())));
        }
        // The row as a profile, checked like one.
        nlohmann::json profile = nlohmann::json::object();
        std::uint32_t serial = 0;
        std::string serialCell;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string& cell = cells[i];
            if (columns[i] == "serialNumber") {
                if (!SerialOf(cell, serial))
                    return at(TrFormat("serialNumber: '%s' is not 0 to %s", cell.c_str(), kLastSerial.c_str()));
                serialCell = cell;
            } else if (cell.empty()) {
                continue;
            } else if (columns[i] == "parity" || columns[i] == "pins" || !AllDigits(cell) || cell.size() > 9) {
                profile[columns[i]] = cell;
            } else {
                profile[columns[i]] = std::stoll(cell);
            }
        }
        SettingValues values;
        const std::string invalid = ProfileValues(profile, values);
        if (!invalid.empty()) return at(invalid);
        if (units.count(serial) != 0) return at(TrFormat("serial number %s is planned twice", serialCell.c_str()));
        if (values.address) {
            const auto holder = holders.find(*values.address);
            if (holder != holders.end()) {
                return at(TrFormat("address %d is planned for two units", *values.address));
            }
            holders[*values.address] = serial;
        }
        units[serial] = values;
    }
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
