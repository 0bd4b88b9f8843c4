#include "Pair.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "Interrupt.h"
#include "KnownLine.h"
#include "Provision.h"
#include "ProvisionLog.h"
#include "ResourceIds.h"
#include "Verify.h"

namespace {

std::string SerialText(std::uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%09u", static_cast<unsigned>(serial));
    return text;
}

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
const Role kMaster{1, 0, 1, "master"};
const Role kSlave{2, 1, 0, "slave"};

// One module of the pair: found, set, read back and checked. Returns kExitOk
// or the exit code; `problem` names what did not take.
int Configure(CommandContext& ctx, const Role& role, SettingValues& shared, nlohmann::ordered_json& entry,
              std::uint32_t& serial, std::optional<std::uint32_t> notThis, std::string& problem) {
    ctx.doc.SetPortName(ctx.port.c_str());
    ctx.host.ClearEvents();
    if (!FindModuleTryingLine(ctx.doc, ctx.host, ProfileLine(shared) ? ProfileLine(shared) : ctx.line).found) {
        return FailureExit(ctx, kExitNotFound);
    }
    serial = ctx.doc.device->serialNumber;
    if (notThis && serial == *notThis) {
        problem = "the module on " + ctx.port + " is the master itself (" + SerialText(serial) + ")";
        return kExitUsage;
    }
    ctx.doc.ReadSettings();
    if (!ctx.doc.HasDevice() || ctx.host.FirstFailure() != 0) return FailureExit(ctx, kExitLink);
    const ModuleReport before = CachedReport(ctx.doc);
    if (shared.pins && *shared.pins != before.PinText() && before.pinsFixed) {
        problem = "the " + std::string(role.name) + "'s pin functions are fixed; " + *shared.pins + " cannot be set";
        return kExitRejected;
    }
    // What the master does not get from options or the profile it keeps, and the slave gets the same.
    if (!shared.channel) shared.channel = before.channel;
    if (!shared.baudRate) shared.baudRate = before.baudRate;
    if (!shared.dataBits) shared.dataBits = before.dataBits;
    if (!shared.parity) shared.parity = before.parity;
    if (!shared.stopBits) shared.stopBits = before.stopBits;

    SettingValues values = shared;
    values.address.reset();  // the mode sets it
    values.ApplyTo(ctx.doc.settings);
    DeviceSettings wanted = ctx.doc.settings;
    wanted.address = static_cast<std::uint16_t>(role.address);

    ctx.host.Info(std::string("setting ") + SerialText(serial) + " on " + ctx.port + " as the " + role.name);
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
    if (ctx.host.declined) return kExitDeclined;
    const int failure = ctx.host.FirstFailure();

    std::vector<std::string> notTaken;
    if (!ReadBackAndCompare(ctx.doc, wanted, notTaken)) return FailureExit(ctx, kExitLink);
    const ModuleReport after = CachedReport(ctx.doc);
    if (after.storedMode != role.mode) notTaken.emplace_back("storedMode");
    if (ctx.doc.device->stored.partnerAddress != role.partnerAddress ||
        ctx.doc.device->running.partnerAddress != role.partnerAddress) {
        notTaken.emplace_back("partnerAddress");
    }
    entry["serialNumber"] = serial;
    entry["port"] = ctx.port;
    entry["version"] = after.version;
    entry["address"] = after.address;
    entry["partnerAddress"] = ctx.doc.device->stored.partnerAddress;
    entry["storedMode"] = after.storedMode;
    if (!notTaken.empty()) {
        problem = "the " + std::string(role.name) + " reads back other values: " + JoinFieldNames(notTaken);
        return failure != 0 ? FailureExit(ctx, kExitLink) : kExitLink;
    }
    ctx.host.Info(std::string("checked: ") + SerialText(serial) + " reads back as the " + role.name);
    return kExitOk;
}

}  // namespace

int RunPair(CommandContext& ctx, const PairOptions& options, NextModule* next) {
    SettingValues shared = options.shared;
    nlohmann::ordered_json record;
    record["time"] = UtcNow();
    nlohmann::ordered_json master, slave;
    std::uint32_t masterSerial = 0, slaveSerial = 0;
    std::string problem;
    const std::string masterPort = ctx.port;

    int rc = Configure(ctx, kMaster, shared, master, masterSerial, std::nullopt, problem);
    if (rc == kExitOk) {
        Interrupt::SetNote(("pair: the master " + SerialText(masterSerial) + " on " + masterPort +
                            " is set; the slave is not")
                               .c_str());
        for (;;) {
            if (options.peerPort.empty()) {
                if (!next || !next->Wait(ctx.host, "the slave module")) {
                    problem = "no slave module came";
                    rc = kExitDeclined;
                    break;
                }
                ctx.port = next->Port();
            } else {
                ctx.port = options.peerPort;
            }
            rc = Configure(ctx, kSlave, shared, slave, slaveSerial, masterSerial, problem);
            // On one port the operator may simply not have changed the module yet.
            if (rc != kExitUsage || !options.peerPort.empty()) break;
            ctx.host.Note("tarnik: " + problem);
            problem.clear();
        }
        Interrupt::SetNote(nullptr);
    }

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
    if (!problem.empty()) ctx.host.Note("tarnik: " + problem);
    if (!master.empty()) {
        std::fprintf(ctx.out, "%s\n", record.dump(2).c_str());
        std::fflush(ctx.out);
        if (!options.logPath.empty()) {
            std::FILE* file = std::fopen(options.logPath.c_str(), "ab");
            if (!file || std::fprintf(file, "%s\n", record.dump().c_str()) < 0 || std::fclose(file) != 0) {
                ctx.host.Note("tarnik: --log: cannot append to " + options.logPath);
                if (rc == kExitOk) rc = kExitUsage;
            }
        }
    }
    if (rc != kExitOk) {
        if (!master.empty()) {
            ctx.host.Note("tarnik: the master " + SerialText(masterSerial) + " on " + masterPort +
                          " is already set for transparent mode; before its next power-up, tarnik --port " +
                          masterPort + " mode standard undoes it");
        }
        return rc;
    }

    const std::string line = LineText(shared);
    ctx.host.Note("pair: master " + SerialText(masterSerial) + " (address 0, partner 1) and slave " +
                  SerialText(slaveSerial) + " (address 1, partner 0), channel " + std::to_string(*shared.channel) +
                  " (" + std::to_string(ChannelMHz(*shared.channel)) + " MHz), line " + line);
    ctx.host.Note("Both modules take transparent mode at their next power-up; until then they still take commands.");
    const std::string slavePort = ctx.port;
    ctx.host.Note("To undo before that: tarnik --port " + masterPort + " --yes mode standard" +
                  (slavePort == masterPort ? " for each module in turn." : ", and the same on " + slavePort + "."));
    ctx.host.Note("After it: switch the module on and, within 30 s, tarnik --port PORT escape --baud " +
                  std::to_string(*shared.baudRate) + " --data-bits " + static_cast<char>(*shared.dataBits) +
                  " --parity " + static_cast<char>(*shared.parity) + " --stop-bits " +
                  static_cast<char>(*shared.stopBits) + " brings it back to standard mode.");
    return kExitOk;
}
