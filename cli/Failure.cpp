#include "Failure.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

#include "Commands.h"

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
            hints.push_back("the device belongs to the group '" + group + "': add yourself with 'sudo usermod -aG " +
                            group + " $USER', then log out and in again");
        } else {
            hints.push_back(
                "this user may not open the device; on Debian serial ports belong to the group "
                "'dialout' ('sudo usermod -aG dialout $USER', then log in again)");
        }
        break;
    case Cause::Busy:
        if (Contains(holder, "ModemManager")) {
            hints.push_back(
                "ModemManager probes new serial adapters for modems: stop it ('sudo systemctl stop "
                "ModemManager') or tell it to leave the adapter alone");
        } else if (Contains(holder, "brltty")) {
            hints.push_back(
                "brltty (braille displays) claims many USB serial adapters: remove it ('sudo apt "
                "remove brltty') if no braille display is used");
        } else if (!holder.empty()) {
            hints.push_back("close " + holder + " or let it release the port, then try again");
        } else {
            hints.push_back(
                "another program has the port open: close it (terminal programs, other "
                "configuration tools) and try again");
        }
        break;
    case Cause::NoSuchPort:
#ifdef _WIN32
        hints.push_back(
            "'tarnik ports' lists the COM ports present; the Device Manager shows a USB "
            "adapter's COM number under 'Ports (COM & LPT)'");
#else
        hints.push_back(
            "'tarnik ports' lists the serial devices present; a USB adapter appears as "
            "/dev/ttyUSB0 or /dev/ttyACM0 (stable names under /dev/serial/by-id)");
#endif
        break;
    case Cause::Gone:
        hints.push_back(
            "the device went away during the exchange (a USB adapter unplugged or without "
            "power): connect it again, then run the command again");
        hints.push_back(
            "'tarnik ports' lists the serial devices present: an adapter plugged in again may "
            "come back under another name");
        break;
    case Cause::Other:
    case Cause::Unknown: break;
    }
    return hints;
}

std::vector<std::string> NotFoundHints() {
    return {
        "is the module powered, and the cable (a crossed one for the PX-300 and the evaluation kit) firmly in?",
        "is this the module's port? 'tarnik ports' lists the serial devices",
        "a module in transparent mode takes no commands: power it up again and run 'tarnik escape' within 30 s",
        "known line settings skip the search: --line BAUD,DATA,PARITY,STOP (e.g. --line 9600,8,N,1)",
    };
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
