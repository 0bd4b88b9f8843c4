#pragma once
// The log of a provisioning run: one JSON object a line (JSON Lines), written
// through to the disk line by line. Before the first request that changes a
// unit, its "started" record (the address it is given, its settings before)
// is appended; its result record follows when the unit is finished. A run
// with the same log again reads it first: a unit with a "done" record is
// skipped, and an address that a record - a started one included - gave to one
// serial number is never given to another, whatever cut a run short (a kill,
// a power loss, a full disk).
//
// Fields of a record: time (UTC, ISO 8601), port, serialNumber, version,
// address (the one handed out, or null), result ("started", "done" or
// "failed"), reason ("" unless failed), before and after (the settings as read
// --json prints them; after is null when they could not be read back, and in a
// started record).
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "Language.h"
#include "Values.h"

// A file of JSON Lines that one run appends to alone: opened (created when
// missing) and locked against a second run before a byte of it is read; every
// record one line, written through to the disk before Append returns. Records
// are as long as they need to be.
class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    RecordFile(RecordFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }
    RecordFile& operator=(RecordFile&& other) noexcept {
        std::swap(fd_, other.fd_);
        std::swap(path_, other.path_);
        return *this;
    }

    // "" or the problem; `text` gets what the file already held.
    std::string Open(const std::string& path, std::string& text);
    // One record (strings shown as Output.h's JsonText makes them), then a line end.
    std::string Append(const nlohmann::ordered_json& record);
    std::string AppendLine(const std::string& line);
    // The two halves of AppendLine: the line into the file, then through to the disk.
    std::string WriteLine(const std::string& line);
    std::string Sync();
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// Safe for threads: stations working side by side share one log. Each call
// is whole by itself; a station that chooses an address and writes the
// unit's started record holds the log (Hold) from the choice to the record,
// so no other station is given that address meanwhile.
class ProvisionLog {
public:
    // Reads the records already in `path` (a missing file is an empty log) and
    // opens it for appending. "" or "PATH:LINE: problem"; a log that cannot be
    // read completely is not used at all, since its addresses would be unknown.
    std::string Open(const std::string& path);
    // Appends one record and writes it through to the disk. "" or the problem.
    // `claim` (a Hold of this thread), when given, ends once the record is in
    // the file, before the wait for the disk.
    std::string Append(const nlohmann::ordered_json& record, std::unique_lock<std::recursive_mutex>* claim = nullptr);
    // The descriptor records are appended to (-1 before Open).
    int Descriptor() const { return file_.Descriptor(); }

    bool Done(std::uint32_t serial) const;
    // Time of the record that says so.
    std::string DoneAt(std::uint32_t serial) const;
    // The address an earlier record gave this serial number.
    std::optional<int> AddressOf(std::uint32_t serial) const;
    // The serial number an earlier record gave this address.
    std::optional<std::uint32_t> HolderOf(int address) const;
    // Units whose last record is "started" when the log was opened: a run
    // ended while they were being written. Serial number -> the record's time.
    // Read before the stations start.
    const std::map<std::uint32_t, std::string>& CutShort() const { return cutShort_; }
    // The log this thread's alone until the lock ends (calls of the same
    // thread go on meanwhile).
    std::unique_lock<std::recursive_mutex> Hold() { return std::unique_lock<std::recursive_mutex>(lock_); }

    // The address this unit gets: the one an earlier record gave it (a retry),
    // else `planned`, else the lowest address from `from` on that no record
    // gave to another unit and that is not in `reserved` (addresses a plan
    // holds for other units). "" or why the unit gets none.
    Said AddressFor(std::uint32_t serial, std::optional<int> planned, std::optional<int> from,
                    const std::set<int>& reserved, int& address) const;

private:
    // Takes what a record says about done units and addresses.
    std::string Take(const nlohmann::json& record);

    mutable std::recursive_mutex lock_;
    RecordFile file_;
    std::set<std::uint32_t> done_;
    std::map<std::uint32_t, std::string> doneAt_;
    std::map<std::uint32_t, std::string> cutShort_;
    std::map<std::uint32_t, int> addressOf_;
    std::map<int, std::uint32_t> holderOf_;
};

// A plan: the values of each unit by its serial number. A text file of comma-
// separated values (RFC 4180: quoted cells, doubled quotes; a spreadsheet's
// byte-order mark is passed over), UTF-8, at most 4 MiB, whose first line
// names the columns, each once: serialNumber (or serial) and any of the fields
// a profile has (address, channel, channelMHz, baudRate, dataBits, parity,
// stopBits, pins). Blank lines and lines starting with # are skipped; an empty
// cell leaves the field to the profile.
//
//   serialNumber,address,channel
//   000001001,10,5
//   000001002,11,5
struct ProvisionPlan {
    std::map<std::uint32_t, SettingValues> units;

    // "" or "PATH:LINE: problem". Two units with one address are refused.
    std::string Load(const std::string& path);
    const SettingValues* Find(std::uint32_t serial) const;
    // The addresses the plan gives to units other than `serial`.
    std::set<int> AddressesBesides(std::uint32_t serial) const;
};

// Now, in UTC: "2026-12-07T12:34:56Z".
std::string UtcNow();
