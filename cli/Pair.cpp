#include "Pair.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "Interrupt.h"
#include "KnownLine.h"
#include "KvPortReservation.h"
#include "Language.h"
#include "Output.h"
#include "Provision.h"
#include "ResourceIds.h"
#include "Verify.h"

namespace {

std::string LineText(const SettingValues& v) {
    return std::to_string(*v.baudRate) + " " + static_cast<char>(*v.dataBits) + static_cast<char>(*v.parity) +
           static_cast<char>(*v.stopBits);
}

struct Role {
    int mode;            // stored mode: 1 master, 2 slave
    int address;         // forced by the mode
    int partnerAddress;  // likewise
    const char* name;
};
const Role kMaster{1, 0, 1, N_("master")};
const Role kSlave{2, 1, 0, N_("slave")};

// A message naming the role: in English for the record, translated when shown.
template <typename... Args>
Said SayRole(const char* format, const Role& role, Args... args) {
    return {Format(format, role.name, args...), TrFormat(format, Tr(role.name), args...)};
}

// One module of the pair, found and read, and what it is to get.
struct Side {
    std::uint32_t serial = 0;
    std::string port;
    DeviceSettings wanted;
};

// Finds and reads the module on the context's port and checks everything that
// can be checked before it is changed; nothing is sent but queries. What the
// master does not get from options or the profile it keeps, and the slave gets
// the same. Returns kExitOk or the exit code; `problem` says why.
int Prepare(CommandContext& ctx, const Role& role, SettingValues& shared, std::optional<std::uint32_t> notThis,
            Side& side, Said& problem) {
    ctx.doc.SetPortName(ctx.port.c_str());
    ctx.host.ClearEvents();
    if (!FindModuleTryingLine(ctx.doc, ctx.host, ProfileLine(shared) ? ProfileLine(shared) : ctx.line).found) {
        return FailureExit(ctx, kExitNotFound);
    }
    side.serial = ctx.doc.device->serialNumber;
    side.port = ctx.port;
    if (notThis && side.serial == *notThis) {
        problem = Say(N_("the module on %s is the master itself (%s)"), ctx.port.c_str(),
                      FormatSerialNumber(side.serial).c_str());
        return kExitUsage;
    }
    ctx.doc.ReadSettings();
    if (!ctx.doc.HasDevice() || ctx.host.FirstFailure() != 0) return FailureExit(ctx, kExitLink);
    const ModuleReport before = CachedReport(ctx.doc);
    if (shared.pins && *shared.pins != before.PinText() && before.pinsFixed) {
        problem = SayRole(N_("the %s's pin functions are fixed; %s cannot be set"), role, shared.pins->c_str());
        return kExitRejected;
    }
    if (!shared.channel) shared.channel = before.channel;
    if (!shared.baudRate) shared.baudRate = before.baudRate;
    if (!shared.dataBits) shared.dataBits = before.dataBits;
    if (!shared.parity) shared.parity = before.parity;
    if (!shared.stopBits) shared.stopBits = before.stopBits;

    SettingValues values = shared;
    values.address.reset();  // the mode sets it
    values.ApplyTo(ctx.doc.settings);
    // The write before the mode sends every field, the module's own included.
    const std::string invalid = CheckRecord(ctx.doc.settings, !before.pinsFixed);
    if (!invalid.empty()) {
        problem = SayRole(N_("the %s: %s (its own value unless given)"), role, invalid.c_str());
        return kExitUsage;
    }
    side.wanted = ctx.doc.settings;
    side.wanted.address = static_cast<std::uint16_t>(role.address);
    return kExitOk;
}

// Sets the prepared module for its role, reads it back and checks both banks.
int Apply(CommandContext& ctx, const Role& role, const Side& side, nlohmann::ordered_json& entry, Said& problem) {
    ctx.host.Info(TrFormat("setting %s on %s as the %s", FormatSerialNumber(side.serial).c_str(), ctx.port.c_str(),
                           Tr(role.name)));
    if (ctx.beforeChange) ctx.beforeChange();
    ctx.host.ClearEvents();
    {
        Interrupt::ChangeScope changing;
        if (role.mode == 1) {
            ctx.doc.SetTransparentMaster();
        } else {
            ctx.doc.SetTransparentSlave();
        }
    }
    entry["serialNumber"] = side.serial;
    entry["port"] = ctx.port;
    if (ctx.host.declined) return kExitDeclined;
    const int failure = ctx.host.FirstFailure();

    const ReadBack back = ReadBackAndCompare(ctx, side.wanted, side.serial);
    if (back.outcome == ReadBack::Outcome::Failed) return FailureExit(ctx, kExitLink);
    if (back.outcome == ReadBack::Outcome::OtherModule) {
        problem = {Format("another module (%s) answers on %s now; the %s may be partly set",
                          FormatSerialNumber(back.serialNumber).c_str(), ctx.port.c_str(), role.name),
                   TrFormat("another module (%s) answers on %s now; the %s may be partly set",
                            FormatSerialNumber(back.serialNumber).c_str(), ctx.port.c_str(), Tr(role.name))};
        return kExitLink;
    }
    std::vector<std::string> notTaken = back.notTaken;
    const ModuleReport after = CachedReport(ctx.doc);
    if (after.storedMode != role.mode) notTaken.emplace_back("storedMode");
    if (ctx.doc.device->stored.partnerAddress != role.partnerAddress ||
        ctx.doc.device->running.partnerAddress != role.partnerAddress) {
        notTaken.emplace_back("partnerAddress");
    }
    entry["version"] = after.version;
    entry["address"] = after.address;
    entry["partnerAddress"] = ctx.doc.device->stored.partnerAddress;
    entry["storedMode"] = after.storedMode;
    if (!notTaken.empty()) {
        problem = SayRole(N_("the %s reads back other values: %s"), role, JoinFieldNames(notTaken).c_str());
        return failure != 0 ? FailureExit(ctx, kExitLink) : kExitLink;
    }
    ctx.host.Info(TrFormat("checked: %s reads back as the %s", FormatSerialNumber(side.serial).c_str(), Tr(role.name)));
    return kExitOk;
}

nlohmann::ordered_json Started(const Side& master, const std::optional<Side>& slave) {
    nlohmann::ordered_json record;
    record["time"] = UtcNow();
    record["result"] = "started";
    record["master"] = {{"serialNumber", master.serial}, {"port", master.port}};
    record["slave"] = slave ? nlohmann::ordered_json{{"serialNumber", slave->serial}, {"port", slave->port}}
                            : nlohmann::ordered_json();
    return record;
}

// On one port: the slave is the next module the operator puts there. The
// master is still on the port when the operator has not changed it yet.
int SlaveOnOnePort(CommandContext& ctx, KvPortReservation& reservation, NextModule* next, SettingValues& shared,
                   const Side& masterSide, std::optional<Side>& slaveSide, nlohmann::ordered_json& slave,
                   Said& problem) {
    for (;;) {
        // Let go while the operator changes the module (an adapter that is
        // unplugged must leave its device name free).
        reservation.Release();
        if (!next || !next->Wait(ctx.host, Tr("the slave module"))) {
            problem = Say(N_("no slave module came"));
            return kExitDeclined;
        }
        ctx.port = next->Port();
        reservation.MoveTo(ctx.port.c_str());
        slaveSide.emplace();
        const int rc = Prepare(ctx, kSlave, shared, masterSide.serial, *slaveSide, problem);
        if (rc == kExitUsage && slaveSide->serial == masterSide.serial) {
            ctx.host.Note("tarnik: " + problem.shown);
            problem = {};
            continue;
        }
        return rc == kExitOk ? Apply(ctx, kSlave, *slaveSide, slave, problem) : rc;
    }
}

// The pair's record: its result, both modules and what they share.
nlohmann::ordered_json PairRecord(int rc, const std::string& problem, const nlohmann::ordered_json& master,
                                  const nlohmann::ordered_json& slave, const SettingValues& shared) {
    nlohmann::ordered_json record;
    record["time"] = UtcNow();
    record["result"] = rc == kExitOk ? "done" : "failed";
    record["reason"] = problem;
    record["master"] = master;
    record["slave"] = slave;
    if (shared.channel) {
        record["channel"] = *shared.channel;
        record["channelMHz"] = ChannelMHz(*shared.channel);
    }
    if (shared.baudRate) {
        record["baudRate"] = *shared.baudRate;
        record["dataBits"] = *shared.dataBits - '0';
        record["parity"] = std::string(1, static_cast<char>(*shared.parity));
        record["stopBits"] = *shared.stopBits - '0';
    }
    if (shared.pins) record["pins"] = *shared.pins;
    return record;
}

// What the operator is told after a pair that went through.
void NotePaired(CommandContext& ctx, const SettingValues& shared, const Side& masterSide, const Side& slaveSide,
                const std::string& masterPort, const std::string& slavePort) {
    const std::string line = LineText(shared);
    ctx.host.Note(
        TrFormat("pair: master %s (address 0, partner 1) and slave %s (address 1, partner 0), channel %d "
                 "(%d MHz), line %s",
                 FormatSerialNumber(masterSide.serial).c_str(), FormatSerialNumber(slaveSide.serial).c_str(),
                 *shared.channel, static_cast<int>(ChannelMHz(*shared.channel)), line.c_str()));
    ctx.host.Note(
        Tr("Both modules take transparent mode at their next power-up; until then they still take commands."));
    if (slavePort == masterPort) {
        ctx.host.Note(TrFormat("To undo before that: tarnik --port %s --yes mode standard for each module in turn.",
                               masterPort.c_str()));
    } else {
        ctx.host.Note(TrFormat("To undo before that: tarnik --port %s --yes mode standard, and the same on %s.",
                               masterPort.c_str(), slavePort.c_str()));
    }
    ctx.host.Note(
        TrFormat("After it: switch the module on and, within 30 s, tarnik --port PORT escape --baud %d "
                 "--data-bits %c --parity %c --stop-bits %c brings it back to standard mode.",
                 *shared.baudRate, static_cast<char>(*shared.dataBits), static_cast<char>(*shared.parity),
                 static_cast<char>(*shared.stopBits)));
}

}  // namespace

int RunPair(CommandContext& ctx, const PairOptions& options, NextModule* next) {
    SettingValues shared = options.shared;
    nlohmann::ordered_json master, slave;
    Side masterSide;
    std::optional<Side> slaveSide;
    Said problem;
    const std::string masterPort = ctx.port;
    // Both ports are ours from their first opening to the end of the pair.
    KvPortReservation reservation(masterPort.c_str());
    KvPortReservation peerReservation(options.peerPort.c_str());
    // With a peer port the slave has a document of its own, and both modules
    // are found, read and checked before either is changed.
    std::optional<CVelmoraDoc> peerDoc;
    std::optional<CommandContext> peer;
    if (!options.peerPort.empty()) {
        peerDoc.emplace(ctx.host);
        peer.emplace(CommandContext{*peerDoc, ctx.host, options.peerPort, ctx.json, ctx.out, {}, ctx.line, ctx.verify});
    }

    int rc = Prepare(ctx, kMaster, shared, std::nullopt, masterSide, problem);
    if (rc == kExitOk && peer) {
        slaveSide.emplace();
        rc = Prepare(*peer, kSlave, shared, masterSide.serial, *slaveSide, problem);
    }
    if (rc == kExitOk && options.log) {
        const std::string logged = options.log->Append(Started(masterSide, slaveSide));
        if (!logged.empty()) {
            problem = Say(N_("--log: %s; nothing was changed"), logged.c_str());
            rc = kExitUsage;
        }
    }
    if (rc == kExitOk) rc = Apply(ctx, kMaster, masterSide, master, problem);
    if (rc == kExitOk) {
        Interrupt::SetNote(TrFormat("pair: the master %s on %s is set; the slave is not",
                                    FormatSerialNumber(masterSide.serial).c_str(), masterPort.c_str())
                               .c_str());
        rc = peer ? Apply(*peer, kSlave, *slaveSide, slave, problem)
                  : SlaveOnOnePort(ctx, reservation, next, shared, masterSide, slaveSide, slave, problem);
        Interrupt::SetNote(nullptr);
    }

    if (!problem.empty()) ctx.host.Note("tarnik: " + problem.shown);
    if (!master.empty()) {
        const nlohmann::ordered_json record = PairRecord(rc, problem.english, master, slave, shared);
        PrintJson(ctx.out, record);
        if (options.log) {
            const std::string logged = options.log->Append(record);
            if (!logged.empty()) {
                ctx.host.Note("tarnik: --log: " + logged);
                if (rc == kExitOk) rc = kExitLink;
            }
        }
    }
    if (rc != kExitOk) {
        if (!master.empty()) {
            ctx.host.Note(
                TrFormat("tarnik: the master %s on %s is already set for transparent mode; before its next "
                         "power-up, tarnik --port %s mode standard undoes it",
                         FormatSerialNumber(masterSide.serial).c_str(), masterPort.c_str(), masterPort.c_str()));
        }
        return rc;
    }
    NotePaired(ctx, shared, masterSide, *slaveSide, masterPort, peer ? peer->port : ctx.port);
    return kExitOk;
}
