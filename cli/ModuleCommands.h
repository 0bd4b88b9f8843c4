#pragma once
// tarnik's commands on one module: scan, read, write, init, mode and escape.
// Each registers its options, checks what was typed before the port is
// touched, and runs its workflow; pair and provision (BenchCommands.h) follow
// the same three steps.
#include <string>

#include <CLI/CLI.hpp>

#include "Commands.h"
#include "Values.h"

class ModuleCommands {
public:
    // `json` is the --json flag every one of them shares with ports.
    void Register(CLI::App& app, bool& json);
    bool Parsed() const;
    // write, init, mode or escape: the module is changed and confirmation asked.
    bool ChangesModule() const;
    // write's --reload and --no-verify, for the console and the context.
    bool Reload() const { return reload_; }
    bool Verify() const { return !noVerify_; }
    // scan --all: every port searched, every module shown.
    bool ScanAll() const { return scan_->parsed() && scanAll_; }
    // After parsing: "" or what is wrong with a value (nothing has been sent).
    std::string Check();
    int Run(CommandContext& ctx) const;

private:
    // The value options as typed.
    struct Typed {
        std::string address, channel, baud, dataBits, parity, stopBits, pins, from;
    };
    static void AddLineOptions(CLI::App* command, Typed& typed, bool withDefaults);
    std::string GatherWriteValues();
    std::string GatherEscapeLine();

    CLI::App* scan_ = nullptr;
    CLI::App* read_ = nullptr;
    CLI::App* write_ = nullptr;
    CLI::App* init_ = nullptr;
    CLI::App* mode_ = nullptr;
    CLI::App* escape_ = nullptr;
    Typed write_typed_, escape_typed_;
    bool reload_ = false;
    bool noVerify_ = false;
    bool scanAll_ = false;
    std::string modeName_;

    // Checked values.
    SettingValues values_;
    int escapeLine_[4] = {9600, '8', 'N', '1'};
};
