#include "Failure.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

#include "Commands.h"
#include "Language.h"

namespace {

using Cause = KvPortOpenFailure::Cause;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

nlohmann::ordered_json OrNull(const KvString& text) {
    return text.Length() == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(text.Bytes());
}

}  // namespace

std::string DeviceGroup(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return {};
    const group* g = getgrgid(info.st_gid);
    return g ? std::string(g->gr_name) : std::string();
#endif
}

std::vector<std::string> OpenFailureHints(const KvPortOpenFailure& failure, const std::string& group) {
    std::vector<std::string> hints;
    const std::string holder = failure.heldBy.Bytes();
    switch (failure.cause) {
    case Cause::AccessDenied:
        if (!group.empty() && group != "root") {
            hints.push_back(
                TrFormat("the device belongs to the group '%s': add yourself with 'sudo usermod -aG %s "
                         "$USER', then log out and in again",
                         group.c_str(), group.c_str()));
        } else {
            hints.emplace_back(
                Tr("this user may not open the device; on Debian serial ports belong to the group "
                   "'dialout' ('sudo usermod -aG dialout $USER', then log in again)"));
        }
        break;
    case Cause::Busy:
        if (Contains(holder, "ModemManager")) {
            hints.emplace_back(
                Tr("ModemManager probes new serial adapters for modems: stop it ('sudo systemctl stop "
                   "ModemManager') or tell it to leave the adapter alone"));
        } else if (Contains(holder, "brltty")) {
            hints.emplace_back(
                Tr("brltty (braille displays) claims many USB serial adapters: remove it ('sudo apt "
                   "remove brltty') if no braille display is used"));
        } else if (!holder.empty()) {
            hints.push_back(TrFormat("close %s or let it release the port, then try again", holder.c_str()));
        } else {
            hints.emplace_back(
                Tr("another program has the port open: close it (terminal programs, other "
                   "configuration tools) and try again"));
        }
        break;
    case Cause::NoSuchPort:
#ifdef _WIN32
        hints.emplace_back(
            Tr("'tarnik ports' lists the COM ports present; the Device Manager shows a USB "
               "adapter's COM number under 'Ports (COM & LPT)'"));
#else
        hints.emplace_back(
            Tr("'tarnik ports' lists the serial devices present; a USB adapter appears as "
               "/dev/ttyUSB0 or /dev/ttyACM0 (stable names under /dev/serial/by-id)"));
#endif
        break;
    case Cause::Gone:
        hints.emplace_back(
            Tr("the device went away during the exchange (a USB adapter unplugged or without "
               "power): connect it again, then run the command again"));
#ifdef _WIN32
        hints.emplace_back(
            Tr("'tarnik ports' lists the COM ports present: an adapter plugged in again may come back under "
               "another number"));
#else
        hints.emplace_back(
            Tr("'tarnik ports' lists the serial devices present: an adapter plugged in again may "
               "come back under another name"));
#endif
        break;
    case Cause::Other:
    case Cause::Unknown: break;
    }
    return hints;
}

std::vector<std::string> NotFoundHints() {
    return {
        Tr("is the module powered, and the cable (a crossed one for the PX-300 and the evaluation kit) firmly in?"),
#ifdef _WIN32
        Tr("is this the module's COM port? 'tarnik ports' lists them; the Device Manager shows a USB adapter's COM "
           "number under 'Ports (COM & LPT)'"),
#else
        Tr("is this the module's port? 'tarnik ports' lists the serial devices"),
#endif
        Tr("a module in transparent mode takes no commands: power it up again and run 'tarnik escape' within 30 s"),
        Tr("known line settings skip the search: --line BAUD,DATA,PARITY,STOP (e.g. --line 9600,8,N,1)"),
    };
}

std::vector<std::string> SetErrorHints(bool rejected) {
    if (rejected) {
        // The module answered: the line works, the request was not to its liking.
        return {
            Tr("the module answered and refused the request (NAK): the line and the cable work; check that the "
               "values suit this module"),
            Tr("'tarnik read' shows what the module holds now"),
        };
    }
    return {
        Tr("is the module powered, and the cable (a crossed one for the PX-300 and the evaluation kit) firmly in?"),
        Tr("'tarnik read' shows what the module holds now; write the settings again once it answers"),
    };
}

std::string FailureSummary(const KvPortFailure& failure) {
    std::string where = (failure.path.Length() > 0 ? failure.path : failure.port).Bytes();
    if (failure.port.Length() > 0 && failure.path.Length() > 0 && failure.port.Bytes() != failure.path.Bytes()) {
        where += " (" + failure.port.Bytes() + ")";
    }
    const std::string reason = failure.osReason.Bytes();
    if (failure.cause == Cause::Gone) {
        return reason.empty() ? TrFormat("%s: the device has gone", where.c_str())
                              : TrFormat("%s: the device has gone (%s)", where.c_str(), reason.c_str());
    }
    std::string text = reason.empty() ? TrFormat("%s: cannot be opened", where.c_str()) : where + ": " + reason;
    if (failure.heldBy.Length() > 0) text += TrFormat("; held by %s", failure.heldBy.Bytes().c_str());
    return text;
}

nlohmann::ordered_json CauseName(Cause cause) {
    switch (cause) {
    case Cause::AccessDenied: return "access-denied";
    case Cause::Busy: return "busy";
    case Cause::NoSuchPort: return "no-such-port";
    case Cause::Other: return "other";
    case Cause::Gone: return "gone";
    case Cause::Unknown: break;
    }
    return nullptr;
}

std::string ExitMessage(int exitCode) {
    switch (exitCode) {
    case kExitOk: return "";
    case kExitDeclined: return "a confirmation was answered with no; nothing was changed";
    case kExitUsage: return "bad usage or a bad value; nothing was sent";
    case kExitPort: return "the port cannot be opened";
    case kExitNotFound: return "no module found";
    case kExitLink: return "communication error";
    case kExitRejected: return "the module rejected a request";
    default: return "failed";
    }
}

nlohmann::ordered_json FailureJson(const FailureReport& report) {
    nlohmann::ordered_json j;
    j["error"] = ExitMessage(report.exitCode);
    j["exitCode"] = report.exitCode;
    j["port"] = report.port;
    const KvPortOpenFailure none;
    const KvPortOpenFailure& f = report.openFailure ? *report.openFailure : none;
    j["path"] = OrNull(f.path);
    j["cause"] = report.openFailure ? CauseName(f.cause) : nlohmann::ordered_json();
    j["osReason"] = OrNull(f.osReason);
    j["osCode"] = f.osCode != 0 ? nlohmann::ordered_json(f.osCode) : nlohmann::ordered_json();
    j["heldBy"] = OrNull(f.heldBy);
    j["detail"] = report.detail.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(report.detail);
    j["hints"] = report.hints;
    return j;
}
