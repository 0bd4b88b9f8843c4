#pragma once
// tarnik pair: two modules made a matched transparent pair - the same channel
// and line settings, one master (address 0, partner 1), one slave (address 1,
// partner 0) - each read back and checked, then one record for the pair.
#include <memory>
#include <string>

#include "Commands.h"
#include "NextModule.h"
#include "ProvisionLog.h"
#include "Values.h"

struct PairOptions {
    // What both get; channel and line settings not given are the master's own.
    SettingValues shared;
    std::string peerPort;  // the slave's port; "" for one port and a module change
    // --log, opened (and locked) before anything is sent; null for none. A
    // "started" record goes in before the master is changed, the pair's record
    // after both.
    std::shared_ptr<RecordFile> log;
};

// `next` brings the slave when there is no peer port. Prints the pair's record
// (JSON) on the context's output; exit code as for the other commands.
int RunPair(CommandContext& ctx, const PairOptions& options, NextModule* next);
