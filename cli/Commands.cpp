#include "Commands.h"

#include "DialogTexts.h"
#include "Failure.h"
#include "Interrupt.h"
#include "KnownLine.h"
#include "KvExceptions.h"
#include "Language.h"
#include "Output.h"
#include "ResourceIds.h"
#include "SerialSettings.h"
#include "StepFailure.h"
#include "Texts.h"
#include "Verify.h"

namespace {

// What the settings window does after every read: the serial number is a
// query of its own, every other value comes through the document's getters
// (CachedReport), so the record holds what a following write sends.
int Refresh(CommandContext& ctx, ModuleReport& report) {
    const int rc = QuerySerialNumber(ctx, report.serialNumber);
    if (rc != kExitOk) return rc;
    const std::uint32_t serial = report.serialNumber;
    report = CachedReport(ctx.doc);
    report.serialNumber = serial;
    return kExitOk;
}

void PrintReport(CommandContext& ctx, const ModuleReport& report) {
    if (ctx.json) {
        PrintJson(ctx.out, ReportJson(report));
    } else {
        PrintText(ctx.out, ReportText(report));
    }
}

// The module on the port: at --line first when given, else (or then) by the search.
FoundModule Locate(CommandContext& ctx) {
    ctx.doc.SetPortName(ctx.port.c_str());
    if (ctx.line) ctx.host.Info(TrFormat("trying %s (--line)", FormatSerialSettings(*ctx.line).CStr()));
    const FoundModule found = FindModuleTryingLine(ctx.doc, ctx.host, ctx.line);
    return found;
}

// Search, read and refresh: what every command that needs a module does first.
int FindModule(CommandContext& ctx, ModuleReport& report) {
    if (!Locate(ctx).found) return FailureExit(ctx, kExitNotFound);
    ctx.doc.ReadSettings();
    if (!ctx.doc.HasDevice() || ctx.host.FirstFailure() != 0) return FailureExit(ctx, kExitLink);
    return Refresh(ctx, report);
}

// A read after a workflow; its result printed.
int ShowReadBack(CommandContext& ctx, ModuleReport& report) {
    if (!ctx.doc.HasDevice() || ctx.host.FirstFailure() != 0) return FailureExit(ctx, kExitLink);
    const int rc = Refresh(ctx, report);
    if (rc == kExitOk) PrintReport(ctx, report);
    return rc;
}

std::string PinsOf(const DeviceSettings& record) {
    std::string text;
    for (const std::int32_t pin : record.pinFunctions) text += static_cast<char>(pin);
    return text;
}

std::string LineOf(const DeviceSettings& record) {
    return FormatSerialSettings(SerialSettings{record.baudRate, record.dataBits, record.parity, record.stopBits})
        .Bytes();
}

// "address: 25 -> 30" for every field a write changes, the field named in the tool's language.
void NoteChanges(CommandContext& ctx, const DeviceSettings& before, const DeviceSettings& after) {
    auto note = [&](const char* name, const std::string& from, const std::string& to) {
        if (from != to) ctx.host.Info(std::string("  ") + Tr(name) + ": " + from + " -> " + to);
    };
    note(N_("address"), std::to_string(before.address), std::to_string(after.address));
    note(N_("channel"),
         std::to_string(before.frequencyIndex) + " (" + std::to_string(ChannelMHz(before.frequencyIndex)) + " MHz)",
         std::to_string(after.frequencyIndex) + " (" + std::to_string(ChannelMHz(after.frequencyIndex)) + " MHz)");
    note(N_("line"), LineOf(before), LineOf(after));
    note(N_("pins"), PinsOf(before), PinsOf(after));
}

// What a write sends passes the checks of typed values, also where a value
// is the module's own (a write sends every field, given or not).
bool CheckSent(CommandContext& ctx, const DeviceSettings& record, bool withPins) {
    const std::string problem = CheckRecord(record, withPins);
    if (problem.empty()) return true;
    ctx.host.Note(
        TrFormat("tarnik: %s; the value is the module's own unless given: give a valid one; nothing was "
                 "written",
                 problem.c_str()));
    return false;
}

void BeforeChange(CommandContext& ctx) {
    if (ctx.beforeChange) ctx.beforeChange();
}

}  // namespace

int QuerySerialNumber(CommandContext& ctx, std::uint32_t& serial) {
    // No answer or one that does not read is the link's failure; the rest of
    // the link's failures are the port's.
    static constexpr KvFailureDialogs kQueryDialogs{IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_OPEN_ERROR,
                                                    IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_COMM_ERROR};
    const int dialog = kQueryDialogs.For(KvRunStep([&] { serial = ctx.doc.GetSerialNumber(); }));
    if (dialog == 0) return kExitOk;
    ctx.host.RunDialog(dialog);
    return dialog == IDD_OPEN_ERROR ? kExitPort : kExitLink;
}

ModuleReport CachedReport(CVelmoraDoc& doc) {
    ModuleReport report;
    if (!doc.HasDevice()) return report;
    report.serialNumber = doc.device->serialNumber;
    report.version = doc.GetVersionText().Bytes();
    report.storedMode = doc.GetOperatingMode(true);
    report.runningMode = doc.GetOperatingMode(false);
    const DeviceSettings& record = doc.CacheRunningSettings();
    report.address = record.address;
    report.channel = record.frequencyIndex;
    report.baudRate = record.baudRate;
    report.dataBits = record.dataBits;
    report.parity = record.parity;
    report.stopBits = record.stopBits;
    for (int i = 0; i < 4; ++i) report.pins[i] = record.pinFunctions[i];
    report.pinsFixed = doc.pinFunctionsFixed;
    report.addressLocked = doc.addressLocked;
    return report;
}

int FailureExit(CommandContext& ctx, int fallback) {
    switch (ctx.host.FirstFailure()) {
    case IDD_OPEN_ERROR: return kExitPort;
    case IDS_DEVICE_NOT_FOUND: return kExitNotFound;
    case IDD_COMM_ERROR:
    case IDD_ESCAPE_FAILED: return kExitLink;
    case IDD_SET_ERROR:
        // The same dialog reports a rejection and a link that failed; the
        // document knows which.
        if (ctx.doc.lastSettingRejected) {
            ctx.host.Note(Tr("tarnik: the module rejected a request"));
            ctx.host.PrintHints(SetErrorHints(true));
            return kExitRejected;
        }
        ctx.host.PrintHints(SetErrorHints(false));
        return kExitLink;
    default: return fallback;
    }
}

int RunScan(CommandContext& ctx) {
    const FoundModule module = Locate(ctx);
    if (!module.found) return FailureExit(ctx, kExitNotFound);
    const SerialSettings found = module.line;
    const std::uint32_t serial = ctx.doc.device->serialNumber;
    if (ctx.json) {
        nlohmann::ordered_json j;
        j["port"] = ctx.port;
        j["serialNumber"] = serial;
        j["baudRate"] = found.baudRate;
        j["dataBits"] = found.dataBits - '0';
        j["parity"] = std::string(1, static_cast<char>(found.parity));
        j["stopBits"] = found.stopBits - '0';
        j["candidate"] = ctx.host.scanAttempts;
        PrintJson(ctx.out, j);
    } else {
        PrintLine(ctx.out, ctx.port + ": " + FormatSerialSettings(found).Bytes());
        PrintLine(ctx.out, TrFormat("Serial number: %s", FormatSerialNumber(serial).c_str()));
    }
    return kExitOk;
}

int RunRead(CommandContext& ctx) {
    ModuleReport report;
    const int rc = FindModule(ctx, report);
    if (rc != kExitOk) return rc;
    PrintReport(ctx, report);
    return kExitOk;
}

int RunWrite(CommandContext& ctx, const SettingValues& values) {
    ModuleReport report;
    int rc = FindModule(ctx, report);
    if (rc != kExitOk) return rc;

    // What the settings window would not let the user change.
    if (values.address && *values.address != report.address && report.addressLocked) {
        ctx.host.Note(Tr(CliMessage(report.storedMode == 2 ? IDS_MODE_SLAVE : IDS_MODE_MASTER)));
        ctx.host.Note(
            TrFormat("tarnik: address: fixed at %d while the module is set for transparent mode; nothing "
                     "was written",
                     static_cast<int>(report.address)));
        return kExitUsage;
    }
    if (values.pins && *values.pins != report.PinText()) {
        if (report.pinsFixed) {
            // The module answered the pin-function probe with a rejection.
            ctx.host.Note(Tr(CliMessage(IDS_PINS_FIXED_MODEL)));
            ctx.host.Note(Tr("tarnik: pins: the module rejects pin-function changes; nothing was written"));
            return kExitRejected;
        }
        if (report.storedMode == 1 || report.storedMode == 2) {
            ctx.host.Note(Tr(CliMessage(IDS_PINS_LOCKED_TRANSPARENT)));
            ctx.host.Note(Tr("tarnik: pins: locked while the module is set for transparent mode; nothing was written"));
            return kExitUsage;
        }
    }

    const DeviceSettings before = ctx.doc.settings;
    values.ApplyTo(ctx.doc.settings);
    const DeviceSettings wanted = ctx.doc.settings;
    if (!CheckSent(ctx, wanted, !report.pinsFixed)) return kExitUsage;
    NoteChanges(ctx, before, wanted);
    ctx.host.ClearEvents();
    if (ctx.host.RunDialog(IDD_SET_CONFIRM) != IDOK) return kExitDeclined;
    BeforeChange(ctx);

    bool written = false;
    bool reload = false;
    {
        Interrupt::ChangeScope changing;
        reload = ctx.doc.WriteSettings(true, &written);
    }
    if (!written) return FailureExit(ctx, kExitLink);
    if (!reload && !ctx.verify) return kExitOk;

    // The read-back: shown with --reload, compared unless --no-verify.
    ctx.host.ClearEvents();
    const ReadBack back = ReadBackAndCompare(ctx, wanted, report.serialNumber);
    if (back.outcome == ReadBack::Outcome::Failed) return FailureExit(ctx, kExitLink);
    if (back.outcome == ReadBack::Outcome::OtherModule) {
        ctx.host.Note(TrFormat("tarnik: the module on %s now answers as %s, not %s: was it changed during the write?",
                               ctx.port.c_str(), FormatSerialNumber(back.serialNumber).c_str(),
                               FormatSerialNumber(report.serialNumber).c_str()));
        return kExitLink;
    }
    if (reload) PrintReport(ctx, CachedReport(ctx.doc));
    if (!ctx.verify) return kExitOk;
    if (!back.notTaken.empty()) {
        ctx.host.Note(TrFormat("tarnik: the module reads back other values than were written: %s",
                               JoinFieldNames(back.notTaken).c_str()));
        return kExitLink;
    }
    ctx.host.Info(Tr("verified: the module reads back what was written, in its running and its stored settings"));
    return kExitOk;
}

int RunInit(CommandContext& ctx) {
    ModuleReport report;
    const int rc = FindModule(ctx, report);
    if (rc != kExitOk) return rc;
    ctx.host.ClearEvents();
    if (ctx.host.RunDialog(IDD_INIT_CONFIRM) != IDOK) return kExitDeclined;
    BeforeChange(ctx);
    bool initialised = false;
    {
        Interrupt::ChangeScope changing;
        initialised = ctx.doc.InitializeDevice();
    }
    if (!initialised) return FailureExit(ctx, kExitLink);
    ctx.doc.ReadSettings();
    return ShowReadBack(ctx, report);
}

int RunMode(CommandContext& ctx, int mode) {
    ModuleReport report;
    int rc = FindModule(ctx, report);
    if (rc != kExitOk) return rc;
    // Master and slave write the settings as read before the mode.
    if (mode != 0 && !CheckSent(ctx, ctx.doc.settings, !report.pinsFixed)) return kExitUsage;
    ctx.host.ClearEvents();
    BeforeChange(ctx);
    {
        Interrupt::ChangeScope changing;
        switch (mode) {
        case 1: ctx.doc.SetTransparentMaster(); break;
        case 2: ctx.doc.SetTransparentSlave(); break;
        default: ctx.doc.CancelTransparentMode(); break;
        }
    }
    if (ctx.host.declined) return kExitDeclined;
    rc = ShowReadBack(ctx, report);
    if (rc != kExitOk) return rc;
    if (report.storedMode != mode) {
        ctx.host.Note(TrFormat("tarnik: the module's stored mode reads back as %d, not %d",
                               static_cast<int>(report.storedMode), static_cast<int>(mode)));
        return kExitLink;
    }
    return kExitOk;
}

int RunEscape(CommandContext& ctx, int baudRate, int dataBits, int parity, int stopBits) {
    const KvString line = FormatSerialSettings(SerialSettings{baudRate, dataBits, parity, stopBits});
    while (true) {
        ctx.host.ClearEvents();
        ctx.host.Note(TrFormat("Serial line settings: %s", line.CStr()));
        if (ctx.host.RunDialog(IDD_ESCAPE) != IDOK) return kExitDeclined;
        ctx.doc.SetPortName(ctx.port.c_str());
        BeforeChange(ctx);
        bool escaped = false;
        {
            Interrupt::ChangeScope changing;
            escaped = ctx.doc.EscapeTransparentMode(baudRate, dataBits, parity, stopBits);
        }
        if (escaped) {
            ctx.host.RunDialog(IDD_ESCAPE_DONE);
            ctx.doc.ReadSettings();
            ModuleReport report;
            return ShowReadBack(ctx, report);
        }
        if (ctx.host.RunDialog(IDD_ESCAPE_FAILED) != IDOK) return FailureExit(ctx, kExitLink);
    }
}
