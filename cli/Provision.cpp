#include "Provision.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Interrupt.h"
#include "KnownLine.h"
#include "KvPortReservation.h"
#include "Language.h"
#include "Output.h"
#include "ResourceIds.h"
#include "Verify.h"

namespace {

struct Tally {
    int done = 0;
    int failed = 0;
    int skipped = 0;

    std::string Text() const { return TrFormat("done %d, failed %d, skipped %d", done, failed, skipped); }
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
Said WriteFailure(CommandContext& ctx) {
    if (ctx.host.FirstFailure() == IDD_OPEN_ERROR) return Say(N_("the port could not be opened for the write"));
    if (ctx.doc.lastSettingRejected) {
        return Say(N_("the module rejected a request of the write; settings may be incomplete"));
    }
    return Say(N_("communication failed during the write; settings may be incomplete"));
}

// What keeps this unit from taking the values, before anything is sent.
Said Refusal(const ModuleReport& before, const SettingValues& values, const DeviceSettings& wanted) {
    if (before.addressLocked) {
        return Say(N_("the module is set for transparent mode (stored mode %d); cancel it with tarnik mode standard "
                      "first"),
                   static_cast<int>(before.storedMode));
    }
    if (values.pins && *values.pins != before.PinText() && before.pinsFixed) {
        return Say(N_("the module's pin functions are fixed; the profile asks for %s"), values.pins->c_str());
    }
    // Every field goes out, the module's own included: it must pass the checks of typed values.
    const std::string problem = CheckRecord(wanted, !before.pinsFixed);
    if (!problem.empty()) {
        return Say(N_("%s (the module's own value unless the profile or plan gives it)"), problem.c_str());
    }
    return {};
}

}  // namespace

std::optional<SerialSettings> ProfileLine(const SettingValues& values) {
    if (!values.baudRate || !values.dataBits || !values.parity || !values.stopBits) return std::nullopt;
    return SerialSettings{*values.baudRate, *values.dataBits, *values.parity, *values.stopBits};
}

namespace {

// What the stations of one run share: the options, the log (and with it the
// addresses handed out), the serial numbers met, the tally of all. The log
// keeps itself safe for threads; the rest is behind `lock`.
struct ProvisionShared {
    explicit ProvisionShared(const ProvisionOptions& o) : options(o) {}
    const ProvisionOptions& options;
    ProvisionLog log;
    std::vector<SerialSettings> lines;
    std::mutex lock;
    std::set<std::uint32_t> seen;  // serial numbers met in this run, on any station
    Tally total;
    std::atomic<bool> stop{false};  // a record could not be written: every station stops

    // A serial number met for the first time in this run.
    bool FirstTime(std::uint32_t serial) {
        const std::lock_guard<std::mutex> guard(lock);
        return seen.insert(serial).second;
    }
    void Count(int Tally::*field) {
        const std::lock_guard<std::mutex> guard(lock);
        ++(total.*field);
        Interrupt::SetNote(TrFormat("provision: %s (log %s)", total.Text().c_str(), options.logPath.c_str()).c_str());
    }
};

// One station of the bench: its port, what happened to each of its units.
class ProvisionRun {
public:
    ProvisionRun(CommandContext& ctx, ProvisionShared& shared, int station)
        : ctx_(ctx), shared_(shared), options_(shared.options), log_(shared.log), station_(station) {}
    // Units one after another until the next does not come or the run stops.
    void Loop(NextModule& next);
    const Tally& Counted() const { return tally_; }
    bool Sent() const { return sent_; }

private:
    enum class Next { Unit, Stop };
    // The module now on ctx_.port, from its search to its record.
    Next TakeUnit();
    // The values for the unit, in ctx_.doc.settings; why not, when it cannot
    // take them. Skipped units (not in the plan) set `skipped`.
    Said PlanUnit(Unit& unit, const ModuleReport& before, bool& skipped);
    // The write, its read-back and the unit's record. `claim` holds the log
    // from the choice of the address to the started record.
    Next WriteUnit(Unit& unit, const DeviceSettings& wanted, std::unique_lock<std::recursive_mutex>& claim);
    // Logs the unit as done or failed; false when the record could not be
    // written (the run stops).
    bool Finish(const Unit& unit, bool done, const Said& reason);
    // The read-back found another module: it gets a failed record of its own.
    void LogOtherModule(const Unit& unit, std::uint32_t other);
    void LogFailed(const std::string& appended);
    void Count(int Tally::*field) {
        ++(tally_.*field);
        shared_.Count(field);
    }

    CommandContext& ctx_;
    ProvisionShared& shared_;
    const ProvisionOptions& options_;
    ProvisionLog& log_;
    int station_;
    Tally tally_;
    bool sent_ = false;  // something went to a module on this station
};

// Opens the log, tells what an earlier run cut short, asks once for all stations.
int PrepareRun(CommandContext& ctx, ProvisionShared& shared) {
    const std::string problem = shared.log.Open(shared.options.logPath);
    if (!problem.empty()) {
        ctx.host.Note(TrFormat("tarnik: --log: %s; nothing was sent", problem.c_str()));
        return kExitUsage;
    }
    for (const auto& [serial, time] : shared.log.CutShort()) {
        ctx.host.Note(
            TrFormat("tarnik: %s was cut short while being written (%s); it keeps address %d and is "
                     "written again when it comes",
                     FormatSerialNumber(serial).c_str(), time.c_str(), shared.log.AddressOf(serial).value_or(-1)));
    }
    // A provisioned module talks at the profile's line settings, a new one
    // perhaps at --line: both are tried before the search.
    if (const std::optional<SerialSettings> line = ProfileLine(shared.options.profile)) shared.lines.push_back(*line);
    if (ctx.line && (shared.lines.empty() || !(shared.lines.front() == *ctx.line))) shared.lines.push_back(*ctx.line);

    ctx.host.ClearEvents();
    if (ctx.host.RunDialog(IDD_SET_CONFIRM) != IDOK) return kExitDeclined;
    Interrupt::SetNote(
        TrFormat("provision: %s (log %s)", shared.total.Text().c_str(), shared.options.logPath.c_str()).c_str());
    return kExitOk;
}

void ProvisionRun::Loop(NextModule& next) {
    // A unit's port is ours from its search to its record; it is let go while
    // the operator changes the module (an unplugged adapter must leave its
    // device name free for the next).
    KvPortReservation reservation;
    for (bool first = true; !shared_.stop.load(); first = false) {
        reservation.Release();
        if (!first && !next.Wait(ctx_.host, Tr("the next module"))) break;
        if (shared_.stop.load()) break;
        ctx_.port = next.Port();
        reservation.MoveTo(ctx_.port.c_str());
        ctx_.doc.SetPortName(ctx_.port.c_str());
        ctx_.host.ClearEvents();
        if (TakeUnit() == Next::Stop) break;
    }
}

ProvisionRun::Next ProvisionRun::TakeUnit() {
    if (!FindModuleTryingLines(ctx_.doc, ctx_.host, shared_.lines).found) {
        ctx_.host.Note(TrFormat("tarnik: no module answers on %s", ctx_.port.c_str()));
        return Next::Unit;
    }
    Unit unit;
    unit.serial = ctx_.doc.device->serialNumber;
    const std::string serial = FormatSerialNumber(unit.serial);
    if (!shared_.FirstTime(unit.serial)) {
        Count(&Tally::failed);
        ctx_.host.Note(
            TrFormat("%s: refused: a module with this serial number was already on the bench in this "
                     "run (the same module again, or two modules with one serial number?)",
                     serial.c_str()));
        return Next::Unit;
    }
    if (log_.Done(unit.serial)) {
        Count(&Tally::skipped);
        ctx_.host.Note(TrFormat("%s: skipped, done at %s (%s)", serial.c_str(), log_.DoneAt(unit.serial).c_str(),
                                options_.logPath.c_str()));
        return Next::Unit;
    }

    // From here on the unit has a record, whatever happens.
    ctx_.doc.ReadSettings();
    if (!ctx_.doc.HasDevice()) {
        return Finish(unit, false, Say(N_("its settings could not be read"))) ? Next::Unit : Next::Stop;
    }
    const ModuleReport before = CachedReport(ctx_.doc);
    unit.version = before.version;
    unit.before = ReportJson(before);

    bool skipped = false;
    // No other station is given an address between its choice and the started record.
    std::unique_lock<std::recursive_mutex> claim = log_.Hold();
    const Said refusal = PlanUnit(unit, before, skipped);
    if (skipped) {
        claim.unlock();
        Count(&Tally::skipped);
        ctx_.host.Note(TrFormat("%s: skipped, not in the plan", serial.c_str()));
        return Next::Unit;
    }
    // Nothing was sent: the address (if any) stays this unit's for a retry.
    if (!refusal.empty()) {
        claim.unlock();
        return Finish(unit, false, refusal) ? Next::Unit : Next::Stop;
    }
    return WriteUnit(unit, ctx_.doc.settings, claim);
}

Said ProvisionRun::PlanUnit(Unit& unit, const ModuleReport& before, bool& skipped) {
    const SettingValues* planned = options_.plan ? options_.plan->Find(unit.serial) : nullptr;
    if (options_.plan && !planned && !options_.addressFrom) {
        skipped = true;
        return {};
    }
    SettingValues values = options_.profile;
    if (planned) values.Overlay(*planned);
    int address = 0;
    const std::set<int> reserved = options_.plan ? options_.plan->AddressesBesides(unit.serial) : std::set<int>();
    const Said refusal = log_.AddressFor(unit.serial, planned ? planned->address : std::nullopt, options_.addressFrom,
                                         reserved, address);
    if (!refusal.empty()) return refusal;
    unit.address = address;
    values.address = address;
    values.ApplyTo(ctx_.doc.settings);
    return Refusal(before, values, ctx_.doc.settings);
}

ProvisionRun::Next ProvisionRun::WriteUnit(Unit& unit, const DeviceSettings& settings,
                                           std::unique_lock<std::recursive_mutex>& claim) {
    const DeviceSettings wanted = settings;
    const std::string serial = FormatSerialNumber(unit.serial);
    // The address is this unit's in the log before the module hears of it.
    const std::string started = log_.Append(Record(ctx_, unit, "started", ""), &claim);
    if (!started.empty()) {
        ctx_.host.Note(TrFormat("tarnik: %s; %s was not changed and the run stops", started.c_str(), serial.c_str()));
        shared_.stop.store(true);
        return Next::Stop;
    }
    if (ctx_.beforeChange) ctx_.beforeChange();
    sent_ = true;
    // Cut short by a signal from here until the result is in the log, the
    // unit is logged as failed, with the handler's text that its settings may
    // be incomplete.
    Interrupt::ChangeScope changing;
    const std::string pending =
        JsonText(Record(ctx_, unit, "failed", "interrupted while being written; settings may be incomplete")) + "\n";
    Interrupt::SetPendingRecord(log_.Descriptor(), pending.c_str(), station_);

    bool written = false;
    Said reason;
    ctx_.host.ClearEvents();
    ctx_.doc.WriteSettings(false, &written);
    if (!written) reason = WriteFailure(ctx_);
    // Read back even after a failed write: the record shows what the unit holds.
    const ReadBack back = ReadBackAndCompare(ctx_, wanted, unit.serial);
    Interrupt::SetPendingRecord(-1, nullptr, station_);
    bool done = false;
    if (back.outcome == ReadBack::Outcome::OtherModule) {
        // The module was changed during the write: neither is known to be set.
        reason = Say(N_("another module (%s) answered the read-back; this one may be partly written"),
                     FormatSerialNumber(back.serialNumber).c_str());
        LogOtherModule(unit, back.serialNumber);
    } else if (back.outcome == ReadBack::Outcome::Compared) {
        unit.after = ReportJson(CachedReport(ctx_.doc));
        if (written && !back.notTaken.empty()) {
            reason = Say(N_("read back other values: %s"), JoinFieldNames(back.notTaken).c_str());
        }
        done = written && back.notTaken.empty();
    } else if (written) {
        reason = Say(N_("the settings could not be read back"));
    }
    return Finish(unit, done, reason) && !shared_.stop.load() ? Next::Unit : Next::Stop;
}

void ProvisionRun::LogOtherModule(const Unit& unit, std::uint32_t serialNumber) {
    const std::string serial = FormatSerialNumber(unit.serial);
    Unit other;
    other.serial = serialNumber;
    other.after = ReportJson(CachedReport(ctx_.doc));
    const std::string appended = log_.Append(Record(
        ctx_, other, "failed", "came onto the port while " + serial + " was being written; it may be partly written"));
    Count(&Tally::failed);
    ctx_.host.Note(TrFormat("%s: failed: came onto the port during the write of %s; check both",
                            FormatSerialNumber(other.serial).c_str(), serial.c_str()));
    if (!appended.empty()) LogFailed(appended);
}

bool ProvisionRun::Finish(const Unit& unit, bool done, const Said& reason) {
    const std::string appended = log_.Append(Record(ctx_, unit, done ? "done" : "failed", reason.english));
    if (done) {
        Count(&Tally::done);
        ctx_.host.Note(TrFormat("%s: done, address %d", FormatSerialNumber(unit.serial).c_str(), *unit.address));
    } else {
        Count(&Tally::failed);
        ctx_.host.Note(TrFormat("%s: failed: %s", FormatSerialNumber(unit.serial).c_str(), reason.shown.c_str()));
    }
    if (!appended.empty()) LogFailed(appended);
    return appended.empty();
}

void ProvisionRun::LogFailed(const std::string& appended) {
    ctx_.host.Note(TrFormat("tarnik: %s; the run stops", appended.c_str()));
    shared_.stop.store(true);
}

}  // namespace

int RunProvision(CommandContext& ctx, const ProvisionOptions& options, NextModule& next) {
    ProvisionStation station{ctx.port, &next};
    return RunProvision(ctx, options, {station});
}

namespace {

// A station of several: a host whose lines carry the port, a document of its own.
struct StationParts {
    StationParts(CommandContext& main, const std::string& port, KvClock& clock)
        : host(Options(main.host, port), clock), doc(host), ctx{doc,       host,       port,
                                                                main.json, main.out,   main.beforeChange,
                                                                main.line, main.verify} {}
    static ConsoleOptions Options(const ConsoleHost& main, const std::string& port) {
        ConsoleOptions o = main.Options();
        o.prefix = port + ": ";
        o.terminal = false;  // lines of several stations cannot overwrite each other
        return o;
    }
    ConsoleHost host;
    CVelmoraDoc doc;
    CommandContext ctx;
};

int ExitFor(const ProvisionShared& shared, bool sent, const Tally& tally) {
    if (shared.stop.load()) return sent ? kExitLink : kExitUsage;
    return tally.failed == 0 ? kExitOk : kExitLink;
}

}  // namespace

int RunProvision(CommandContext& ctx, const ProvisionOptions& options, const std::vector<ProvisionStation>& stations) {
    ProvisionShared shared(options);
    const int prepared = PrepareRun(ctx, shared);
    if (prepared != kExitOk) return prepared;
    if (stations.size() == 1) {
        ProvisionRun run(ctx, shared, 0);
        run.Loop(*stations.front().next);
        Interrupt::SetNote(nullptr);
        PrintLine(ctx.out, "provision: " + run.Counted().Text());
        return ExitFor(shared, run.Sent(), run.Counted());
    }
    std::vector<std::unique_ptr<StationParts>> parts;
    std::vector<std::unique_ptr<ProvisionRun>> runs;
    for (std::size_t k = 0; k < stations.size(); ++k) {
        parts.push_back(std::make_unique<StationParts>(ctx, stations[k].port, ctx.host.Clock()));
        runs.push_back(std::make_unique<ProvisionRun>(parts.back()->ctx, shared, static_cast<int>(k)));
    }
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < stations.size(); ++k) {
        threads.emplace_back([&, k] { runs[k]->Loop(*stations[k].next); });
    }
    for (std::thread& t : threads) t.join();
    Interrupt::SetNote(nullptr);
    bool sent = false;
    for (std::size_t k = 0; k < stations.size(); ++k) {
        PrintLine(ctx.out, "provision: " + stations[k].port + ": " + runs[k]->Counted().Text());
        sent = sent || runs[k]->Sent();
    }
    PrintLine(ctx.out,
              TrFormat("provision: %d stations: %s", static_cast<int>(stations.size()), shared.total.Text().c_str()));
    return ExitFor(shared, sent, shared.total);
}
