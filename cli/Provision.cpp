#include "Provision.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "Interrupt.h"
#include "KnownLine.h"
#include "ResourceIds.h"
#include "Verify.h"

namespace {

std::string SerialText(std::uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%09u", static_cast<unsigned>(serial));
    return text;
}

struct Tally {
    int done = 0;
    int failed = 0;
    int skipped = 0;

    std::string Text() const {
        return "done " + std::to_string(done) + ", failed " + std::to_string(failed) + ", skipped " +
               std::to_string(skipped);
    }
};

// The unit in hand, as its record will say.
struct Unit {
    std::uint32_t serial = 0;
    std::string version;
    std::optional<int> address;
    nlohmann::ordered_json before;  // null until read
    nlohmann::ordered_json after;   // null unless read back
};

nlohmann::ordered_json Record(const CommandContext& ctx, const Unit& unit, bool done, const std::string& reason) {
    nlohmann::ordered_json record;
    record["time"] = UtcNow();
    record["port"] = ctx.port;
    record["serialNumber"] = unit.serial;
    record["version"] = unit.version;
    record["address"] = unit.address ? nlohmann::ordered_json(*unit.address) : nlohmann::ordered_json();
    record["result"] = done ? "done" : "failed";
    record["reason"] = reason;
    record["before"] = unit.before;
    record["after"] = unit.after;
    return record;
}

// Why a write went wrong, from what the document reported.
std::string WriteFailure(CommandContext& ctx) {
    if (ctx.host.FirstFailure() == IDD_OPEN_ERROR) return "the port could not be opened for the write";
    if (ctx.doc.lastSettingRejected) return "the module rejected a request of the write; settings may be incomplete";
    return "communication failed during the write; settings may be incomplete";
}

// What keeps this unit from taking the values, before anything is sent.
std::string Refusal(const ModuleReport& before, const SettingValues& values) {
    if (before.addressLocked) {
        return "the module is set for transparent mode (stored mode " + std::to_string(before.storedMode) +
               "); cancel it with tarnik mode standard first";
    }
    if (values.pins && *values.pins != before.PinText() && before.pinsFixed) {
        return "the module's pin functions are fixed; the profile asks for " + *values.pins;
    }
    return "";
}

}  // namespace

std::string LoadProfile(const std::string& path, SettingValues& values) {
    std::ostringstream buffer;
    if (path == "-") {
        buffer << std::cin.rdbuf();
    } else {
        std::ifstream file(path, std::ios::binary);
        if (!file) return path + ": cannot be read";
        buffer << file.rdbuf();
    }
    const nlohmann::json profile = nlohmann::json::parse(buffer.str(), nullptr, false);
    if (profile.is_discarded()) return path + ": not a JSON profile";
    const std::string problem = ProfileValues(profile, values);
    return problem.empty() ? "" : path + ": " + problem;
}

std::optional<SerialSettings> ProfileLine(const SettingValues& values) {
    if (!values.baudRate || !values.dataBits || !values.parity || !values.stopBits) return std::nullopt;
    return SerialSettings{*values.baudRate, *values.dataBits, *values.parity, *values.stopBits};
}

int RunProvision(CommandContext& ctx, const ProvisionOptions& options, NextModule& next) {
    ProvisionLog log;
    const std::string problem = log.Open(options.logPath);
    if (!problem.empty()) {
        ctx.host.Note("tarnik: --log: " + problem + "; nothing was sent");
        return kExitUsage;
    }
    // A provisioned module talks at the profile's line settings, a new one
    // perhaps at --line: both are tried before the search.
    std::vector<SerialSettings> lines;
    if (const std::optional<SerialSettings> line = ProfileLine(options.profile)) lines.push_back(*line);
    if (ctx.line && (lines.empty() || !(lines.front() == *ctx.line))) lines.push_back(*ctx.line);

    ctx.host.ClearEvents();
    if (ctx.host.RunDialog(IDD_SET_CONFIRM) != IDOK) return kExitDeclined;

    Tally tally;
    bool first = true;
    for (;;) {
        Interrupt::SetNote(("provision: " + tally.Text() + " (log " + options.logPath + ")").c_str());
        if (!first && !next.Wait(ctx.host, "the next module")) break;
        first = false;
        ctx.port = next.Port();
        ctx.doc.SetPortName(ctx.port.c_str());
        ctx.host.ClearEvents();

        if (!FindModuleTryingLines(ctx.doc, ctx.host, lines).found) {
            ctx.host.Note("tarnik: no module answers on " + ctx.port);
            continue;
        }
        Unit unit;
        unit.serial = ctx.doc.device->serialNumber;
        const std::string serial = SerialText(unit.serial);
        if (log.Done(unit.serial)) {
            ++tally.skipped;
            ctx.host.Note(serial + ": skipped, done at " + log.DoneAt(unit.serial) + " (" + options.logPath + ")");
            continue;
        }
        const SettingValues* planned = options.plan ? options.plan->Find(unit.serial) : nullptr;
        if (options.plan && !planned && !options.addressFrom) {
            ++tally.skipped;
            ctx.host.Note(serial + ": skipped, not in the plan");
            continue;
        }

        // From here on the unit has a record, whatever happens.
        auto finish = [&](bool done, const std::string& reason) {
            const std::string appended = log.Append(Record(ctx, unit, done, reason));
            if (done) {
                ++tally.done;
                ctx.host.Note(serial + ": done, address " + std::to_string(*unit.address));
            } else {
                ++tally.failed;
                ctx.host.Note(serial + ": failed: " + reason);
            }
            if (!appended.empty()) ctx.host.Note("tarnik: " + appended);
            return appended.empty();
        };

        ctx.doc.ReadSettings();
        if (!ctx.doc.HasDevice()) {
            if (!finish(false, "its settings could not be read")) break;
            continue;
        }
        const ModuleReport before = CachedReport(ctx.doc);
        unit.version = before.version;
        unit.before = ReportJson(before);

        SettingValues values = options.profile;
        if (planned) values.Overlay(*planned);
        int address = 0;
        const std::set<int> reserved = options.plan ? options.plan->AddressesBesides(unit.serial) : std::set<int>();
        std::string refusal =
            log.AddressFor(unit.serial, planned ? planned->address : std::nullopt, options.addressFrom, reserved, address);
        if (refusal.empty()) {
            unit.address = address;
            values.address = address;
            refusal = Refusal(before, values);
        }
        if (!refusal.empty()) {
            // Nothing was sent: the address (if any) stays this unit's for a retry.
            if (!finish(false, refusal)) break;
            continue;
        }

        values.ApplyTo(ctx.doc.settings);
        const DeviceSettings wanted = ctx.doc.settings;
        if (ctx.beforeChange) ctx.beforeChange();
        bool done = false;
        std::string reason;
        {
            // Cut short from here until the record is in the log, the unit is
            // logged as failed, with the handler's text that its settings may
            // be incomplete.
            Interrupt::ChangeScope changing;
            const std::string pending =
                Record(ctx, unit, false, "interrupted while being written; settings may be incomplete").dump() + "\n";
            Interrupt::SetPendingRecord(log.Descriptor(), pending.c_str());

            bool written = false;
            ctx.host.ClearEvents();
            ctx.doc.WriteSettings(false, &written);
            if (!written) reason = WriteFailure(ctx);
            std::vector<std::string> notTaken;
            // Read back even after a failed write: the record shows what the unit holds.
            if (ReadBackAndCompare(ctx.doc, wanted, notTaken)) {
                unit.after = ReportJson(CachedReport(ctx.doc));
                if (written && !notTaken.empty()) reason = "read back other values: " + JoinFieldNames(notTaken);
                done = written && notTaken.empty();
            } else if (written) {
                reason = "the settings could not be read back";
            }
            Interrupt::SetPendingRecord(-1, nullptr);
            if (!finish(done, reason)) break;
        }
    }
    Interrupt::SetNote(nullptr);
    std::fprintf(ctx.out, "provision: %s\n", tally.Text().c_str());
    std::fflush(ctx.out);
    return tally.failed == 0 ? kExitOk : kExitLink;
}
