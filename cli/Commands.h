#pragma once
// The subcommands of tarnik, each built on the document's workflows in the
// order the desktop program runs them: a search first (the workflows need a
// module), then a read, then the command's own workflow.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "CVelmoraDoc.h"
#include "ConsoleHost.h"
#include "SerialSettings.h"
#include "Values.h"

enum ExitCode {
    kExitOk = 0,
    kExitDeclined = 1,   // a confirmation was answered with "no"
    kExitUsage = 2,      // bad usage or a bad value; nothing was sent
    kExitPort = 3,       // the port cannot be opened
    kExitNotFound = 4,   // no module answered at any line setting
    kExitLink = 5,       // communication error
    kExitRejected = 6,   // the module rejected a request
    kExitInternal = 70,  // a fault of the program itself (an exception nobody handled)
};

struct CommandContext {
    CVelmoraDoc& doc;
    ConsoleHost& host;
    std::string port;
    bool json = false;
    std::FILE* out = stdout;
    // Called when the command, past its search and read, starts changing the module.
    std::function<void()> beforeChange;
    // --line: the settings tried before the search.
    std::optional<SerialSettings> line;
    // write: read the settings back and compare them with what was written.
    bool verify = true;
};

// The serial number of the module on the port, asked anew (a MAN query).
// kExitOk, or the exit code of the failure, reported through the host's
// dialog as the settings window's refresh reports it.
int QuerySerialNumber(CommandContext& ctx, std::uint32_t& serial);

// The module's settings as the document's last read left them (no traffic).
ModuleReport CachedReport(CVelmoraDoc& doc);

int RunScan(CommandContext& ctx);
int RunRead(CommandContext& ctx);
// `values` has been checked; at least one field is given.
int RunWrite(CommandContext& ctx, const SettingValues& values);
int RunInit(CommandContext& ctx);
// mode 0 standard (cancels a pending switch), 1 transparent master, 2 transparent slave.
int RunMode(CommandContext& ctx, int mode);
// Line settings as character codes; checked.
int RunEscape(CommandContext& ctx, int baudRate, int dataBits, int parity, int stopBits);

// The exit code for the failure the host reported first; `fallback` when it
// reported none. A setting error (dialog 139) is a rejection when the module
// refused a request, a communication error otherwise.
int FailureExit(CommandContext& ctx, int fallback);
