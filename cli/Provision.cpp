#include "Provision.h"

#include <cstdio>
#include <set>
#include <vector>

#include "Interrupt.h"
#include "KnownLine.h"
#include "KvPortReservation.h"
#include "Output.h"
#include "ResourceIds.h"
#include "Verify.h"

namespace {

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

nlohmann::ordered_json Record(const CommandContext& ctx, const Unit& unit, const char* result,
                              const std::string& reason) {
    nlohmann::ordered_json record;
    record["time"] = UtcNow();
    record["port"] = ctx.port;
    record["serialNumber"] = unit.serial;
    record["version"] = unit.version;
    record["address"] = unit.address ? nlohmann::ordered_json(*unit.address) : nlohmann::ordered_json();
    record["result"] = result;
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
std::string Refusal(const ModuleReport& before, const SettingValues& values, const DeviceSettings& wanted) {
    if (before.addressLocked) {
        return "the module is set for transparent mode (stored mode " + std::to_string(before.storedMode) +
               "); cancel it with tarnik mode standard first";
    }
    if (values.pins && *values.pins != before.PinText() && before.pinsFixed) {
        return "the module's pin functions are fixed; the profile asks for " + *values.pins;
    }
    // Every field goes out, the module's own included: it must pass the checks of typed values.
    const std::string problem = CheckRecord(wanted, !before.pinsFixed);
    if (!problem.empty()) return problem + " (the module's own value unless the profile or plan gives it)";
    return "";
}

}  // namespace

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
    for (const auto& [serial, time] : log.CutShort()) {
        ctx.host.Note("tarnik: " + FormatSerialNumber(serial) + " was cut short while being written (" + time +
                      "); it keeps address " + std::to_string(log.AddressOf(serial).value_or(-1)) +
                      " and is written again when it comes");
    }
    // A provisioned module talks at the profile's line settings, a new one
    // perhaps at --line: both are tried before the search.
    std::vector<SerialSettings> lines;
    if (const std::optional<SerialSettings> line = ProfileLine(options.profile)) lines.push_back(*line);
    if (ctx.line && (lines.empty() || !(lines.front() == *ctx.line))) lines.push_back(*ctx.line);

    ctx.host.ClearEvents();
    if (ctx.host.RunDialog(IDD_SET_CONFIRM) != IDOK) return kExitDeclined;

    Tally tally;
    bool sent = false;        // something went to a module in this run
    bool logFailed = false;   // a record could not be written: the run stops
    std::set<std::uint32_t> seen;  // serial numbers met in this run
    bool first = true;
    // A unit's port is ours from its search to its record; it is let go while
    // the operator changes the module (an unplugged adapter must leave its
    // device name free for the next).
    KvPortReservation reservation;
    for (;;) {
        Interrupt::SetNote(("provision: " + tally.Text() + " (log " + options.logPath + ")").c_str());
        reservation.Release();
        if (!first && !next.Wait(ctx.host, "the next module")) break;
        first = false;
        ctx.port = next.Port();
        reservation.MoveTo(ctx.port.c_str());
        ctx.doc.SetPortName(ctx.port.c_str());
        ctx.host.ClearEvents();

        if (!FindModuleTryingLines(ctx.doc, ctx.host, lines).found) {
            ctx.host.Note("tarnik: no module answers on " + ctx.port);
            continue;
        }
        Unit unit;
        unit.serial = ctx.doc.device->serialNumber;
        const std::string serial = FormatSerialNumber(unit.serial);
        if (!seen.insert(unit.serial).second) {
            ++tally.failed;
            ctx.host.Note(serial + ": refused: a module with this serial number was already on the bench in this "
                                   "run (the same module again, or two modules with one serial number?)");
            continue;
        }

        if (log.Done(unit.serial)) {
            ++tally.skipped;
            ctx.host.Note(serial + ": skipped, done at " + log.DoneAt(unit.serial) + " (" + options.logPath + ")");
            continue;
        }

        // From here on the unit has a record, whatever happens. False when
        // it could not be written: the run stops.
        auto finish = [&](bool done, const std::string& reason) {
            const std::string appended = log.Append(Record(ctx, unit, done ? "done" : "failed", reason));
            if (done) {
                ++tally.done;
                ctx.host.Note(serial + ": done, address " + std::to_string(*unit.address));
            } else {
                ++tally.failed;
                ctx.host.Note(serial + ": failed: " + reason);
            }
            if (!appended.empty()) {
                ctx.host.Note("tarnik: " + appended + "; the run stops");
                logFailed = true;
            }
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

        const SettingValues* planned = options.plan ? options.plan->Find(unit.serial) : nullptr;
        if (options.plan && !planned && !options.addressFrom) {
            ++tally.skipped;
            ctx.host.Note(serial + ": skipped, not in the plan");
            continue;
        }

        SettingValues values = options.profile;
        if (planned) values.Overlay(*planned);
        int address = 0;
        const std::set<int> reserved = options.plan ? options.plan->AddressesBesides(unit.serial) : std::set<int>();
        std::string refusal =
            log.AddressFor(unit.serial, planned ? planned->address : std::nullopt, options.addressFrom, reserved, address);
        if (refusal.empty()) {
            unit.address = address;
            values.address = address;
            values.ApplyTo(ctx.doc.settings);
            refusal = Refusal(before, values, ctx.doc.settings);
        }
        if (!refusal.empty()) {
            // Nothing was sent: the address (if any) stays this unit's for a retry.
            if (!finish(false, refusal)) break;
            continue;
        }
        const DeviceSettings wanted = ctx.doc.settings;

        // The address is this unit's in the log before the module hears of it.
        const std::string started = log.Append(Record(ctx, unit, "started", ""));
        if (!started.empty()) {
            ctx.host.Note("tarnik: " + started + "; " + serial + " was not changed and the run stops");
            logFailed = true;
            break;
        }
        if (ctx.beforeChange) ctx.beforeChange();
        sent = true;
        bool done = false;
        std::string reason;
        {
            // Cut short by a signal from here until the result is in the log,
            // the unit is logged as failed, with the handler's text that its
            // settings may be incomplete.
            Interrupt::ChangeScope changing;
            const std::string pending =
                JsonText(Record(ctx, unit, "failed", "interrupted while being written; settings may be incomplete")) +
                "\n";
            Interrupt::SetPendingRecord(log.Descriptor(), pending.c_str());

            bool written = false;
            ctx.host.ClearEvents();
            ctx.doc.WriteSettings(false, &written);
            if (!written) reason = WriteFailure(ctx);
            // Read back even after a failed write: the record shows what the unit holds.
            const ReadBack back = ReadBackAndCompare(ctx, wanted, unit.serial);
            Interrupt::SetPendingRecord(-1, nullptr);
            if (back.outcome == ReadBack::Outcome::OtherModule) {
                // The module was changed during the write: neither is known to be set.
                reason = "another module (" + FormatSerialNumber(back.serialNumber) +
                         ") answered the read-back; this one may be partly written";
                Unit other;
                other.serial = back.serialNumber;
                other.after = ReportJson(CachedReport(ctx.doc));
                const std::string appended = log.Append(Record(
                    ctx, other, "failed", "came onto the port while " + serial + " was being written; it may be partly written"));
                ++tally.failed;
                ctx.host.Note(FormatSerialNumber(other.serial) + ": failed: came onto the port during the write of " +
                              serial + "; check both");
                if (!appended.empty()) {
                    ctx.host.Note("tarnik: " + appended + "; the run stops");
                    logFailed = true;
                }
            } else if (back.outcome == ReadBack::Outcome::Compared) {
                unit.after = ReportJson(CachedReport(ctx.doc));
                if (written && !back.notTaken.empty()) {
                    reason = "read back other values: " + JoinFieldNames(back.notTaken);
                }
                done = written && back.notTaken.empty();
            } else if (written) {
                reason = "the settings could not be read back";
            }
            if (!finish(done, reason) || logFailed) break;
        }
    }
    Interrupt::SetNote(nullptr);
    PrintLine(ctx.out, "provision: " + tally.Text());
    if (logFailed) return sent ? kExitLink : kExitUsage;
    return tally.failed == 0 ? kExitOk : kExitLink;
}
