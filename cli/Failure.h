#pragma once
// What tarnik says when a command fails: the reason a port could not be
// opened with a hint that fits it, hints when no module answers, and the JSON
// error object that --json prints on standard output.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "KvExceptions.h"

// Hints for a port that could not be opened, or whose device went away.
// `group` is the group that owns the device node ("dialout"), "" when unknown.
std::vector<std::string> OpenFailureHints(const KvPortOpenFailure& failure, const std::string& group);

// The group that owns `path`, "" when it cannot be found (Windows: always "").
std::string DeviceGroup(const std::string& path);

// Hints for a search that found no module.
std::vector<std::string> NotFoundHints();

// Hints for a write that failed: refused by the module (a NAK) or lost on the line.
std::vector<std::string> SetErrorHints(bool rejected);

// The port, its device and the system's reason, in the tool's language:
// "/dev/ttyUSB0: Permission denied; held by minicom (pid 4711)".
std::string FailureSummary(const KvPortFailure& failure);

// "access-denied", "busy", "no-such-port", "other", "gone"; null when unknown.
nlohmann::ordered_json CauseName(KvPortOpenFailure::Cause cause);

struct FailureReport {
    int exitCode = 0;
    std::string port;
    std::optional<KvPortOpenFailure> openFailure;
    std::string detail;  // the tool's own last note on standard error, if any
    std::vector<std::string> hints;
};

// The error object: error, exitCode, port, path, cause, osReason, osCode,
// heldBy, detail, hints; null where nothing is known.
nlohmann::ordered_json FailureJson(const FailureReport& report);

// The message for an exit code: "the port cannot be opened", ...
std::string ExitMessage(int exitCode);
