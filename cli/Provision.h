#pragma once
// tarnik provision: one module after another on one port, each given the
// profile and its own address, read back, compared and logged.
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "NextModule.h"
#include "ProvisionLog.h"
#include "SerialSettings.h"
#include "Values.h"

struct ProvisionOptions {
    SettingValues profile;              // what every unit gets (the address aside)
    std::optional<int> addressFrom;     // first address handed out
    std::optional<ProvisionPlan> plan;  // serial number -> the unit's own values
    std::string logPath;
};

// Runs the loop until the next module does not come (q, end of input, end of
// the simulation's script), or until the log cannot be written. Prints the
// summary on the context's output. Exit code 0 when no unit failed, kExitLink
// when one did or when the log failed after a module was changed, kExitUsage
// when the log cannot be used and nothing was sent.
int RunProvision(CommandContext& ctx, const ProvisionOptions& options, NextModule& next);

// Several stations at the same time, one thread each, with one log and one
// address allocator: each station its own port, host (its lines begin with
// the port) and document; the confirmation is asked once, on `ctx`. Prints
// a summary per station and one of all. With one station, the same as above.
struct ProvisionStation {
    std::string port;
    NextModule* next = nullptr;
};
int RunProvision(CommandContext& ctx, const ProvisionOptions& options, const std::vector<ProvisionStation>& stations);

// The line settings a profile gives in full, if it does.
std::optional<SerialSettings> ProfileLine(const SettingValues& values);
