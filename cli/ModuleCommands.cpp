#include "ModuleCommands.h"

#include <optional>

#include "Language.h"
#include "Profile.h"
#include "TakeOption.h"

void ModuleCommands::AddLineOptions(CLI::App* command, Typed& typed, bool withDefaults) {
    auto help = [&](const char* text, const char* def) {
        return withDefaults ? TrFormat("%s (default %s)", Tr(text), def) : std::string(Tr(text));
    };
    command
        ->add_option("--baud", typed.baud, help(N_("baud rate: 1200, 2400, 4800, 9600, 19200, 38400, 57600"), "9600"))
        ->type_name("N");
    command->add_option("--data-bits", typed.dataBits, help(N_("data bits: 7 or 8"), "8"))->type_name("N");
    command->add_option("--parity", typed.parity, help(N_("parity: N none, E even, O odd"), "N"))->type_name("P");
    command->add_option("--stop-bits", typed.stopBits, help(N_("stop bits: 1 or 2"), "1"))->type_name("N");
}

void ModuleCommands::Register(CLI::App& app, bool& json) {
    scan_ = app.add_subcommand("scan", Tr("search the port for a module and show the line settings it answered at"));
    scan_->add_flag("--json", json, Tr("print the result as JSON"));
    scan_->add_flag("--all", scanAll_,
                    Tr("search every serial device present at the same time (not --port) and show every module "
                       "found with its port and line settings"));

    read_ = app.add_subcommand("read", Tr("search, then read and show every setting of the module"));
    read_->add_flag("--json", json, Tr("print the settings as JSON (a profile that write --from takes)"));

    Typed& w = write_typed_;
    write_ =
        app.add_subcommand("write", Tr("search, read, then write the given values (the rest as read) to the module"));
    write_
        ->add_option("--from", w.from, Tr("profile: a JSON file as printed by read --json ('-' reads standard input)"))
        ->type_name("FILE");
    write_->add_option("--address", w.address, Tr("address: 0 to 9999"))->type_name("N");
    write_->add_option("--channel", w.channel, Tr("radio channel: 0 to 75 (2405 to 2480 MHz)"))->type_name("N");
    AddLineOptions(write_, w, false);
    write_
        ->add_option("--pins", w.pins,
                     Tr("pin functions of I/O 1-2, 3-4, 5-6, 7-8 as four digits: 0 digital input, 1 digital "
                        "output, 2 analog input (1-2 and 3-4 only), e.g. 2100"))
        ->type_name("DDDD");
    write_->add_flag("--reload", reload_, Tr("show the settings read back after the write"));
    write_->add_flag("--json", json, Tr("with --reload: show the settings as JSON"));
    write_->add_flag("--no-verify", noVerify_,
                     Tr("do not read the settings back and compare them with what was written"));

    init_ = app.add_subcommand("init", Tr("restore the module's factory settings, then read them"));
    init_->add_flag("--json", json, Tr("show the settings read afterwards as JSON"));

    mode_ = app.add_subcommand(
        "mode", Tr("master/slave: set the module for transparent mode at its next power-up; standard: cancel that"));
    mode_->add_option("MODE", modeName_, Tr("master, slave or standard"))
        ->required()
        ->check(CLI::IsMember({"master", "slave", "standard"}));
    mode_->add_flag("--json", json, Tr("show the settings read afterwards as JSON"));

    escape_ = app.add_subcommand(
        "escape",
        Tr("send the escape string to a module running in transparent mode (power it up at most 30 s before)"));
    AddLineOptions(escape_, escape_typed_, true);
    escape_->add_flag("--json", json, Tr("show the settings read afterwards as JSON"));
}

bool ModuleCommands::Parsed() const { return scan_->parsed() || read_->parsed() || ChangesModule(); }

bool ModuleCommands::ChangesModule() const {
    return write_->parsed() || init_->parsed() || mode_->parsed() || escape_->parsed();
}

std::string ModuleCommands::GatherWriteValues() {
    const Typed& w = write_typed_;
    if (!w.from.empty()) {
        const std::string problem = ReadProfile(w.from, values_);
        if (!problem.empty()) return problem;
    }
    // Options given beside a profile take precedence over it.
    SettingValues options;
    std::string problem = TakeOption(write_, "--address", w.address, options.address, ParseAddress);
    if (problem.empty()) problem = TakeOption(write_, "--channel", w.channel, options.channel, ParseChannel);
    if (problem.empty()) problem = TakeOption(write_, "--baud", w.baud, options.baudRate, ParseBaudRate);
    if (problem.empty()) problem = TakeOption(write_, "--data-bits", w.dataBits, options.dataBits, ParseDataBits);
    if (problem.empty()) problem = TakeOption(write_, "--parity", w.parity, options.parity, ParseParity);
    if (problem.empty()) problem = TakeOption(write_, "--stop-bits", w.stopBits, options.stopBits, ParseStopBits);
    if (problem.empty()) problem = TakeOption(write_, "--pins", w.pins, options.pins, ParsePins);
    if (!problem.empty()) return problem;
    values_.Overlay(options);
    if (values_.Empty())
        return Tr("write: nothing to write; give --from FILE or a value option (see tarnik write --help)");
    return "";
}

std::string ModuleCommands::GatherEscapeLine() {
    const Typed& e = escape_typed_;
    std::optional<int> baud, dataBits, parity, stopBits;
    std::string problem = TakeOption(escape_, "--baud", e.baud, baud, ParseBaudRate);
    if (problem.empty()) problem = TakeOption(escape_, "--data-bits", e.dataBits, dataBits, ParseDataBits);
    if (problem.empty()) problem = TakeOption(escape_, "--parity", e.parity, parity, ParseParity);
    if (problem.empty()) problem = TakeOption(escape_, "--stop-bits", e.stopBits, stopBits, ParseStopBits);
    if (!problem.empty()) return problem;
    escapeLine_[0] = baud.value_or(9600);
    escapeLine_[1] = dataBits.value_or('8');
    escapeLine_[2] = parity.value_or('N');
    escapeLine_[3] = stopBits.value_or('1');
    return "";
}

std::string ModuleCommands::Check() {
    if (write_->parsed()) return GatherWriteValues();
    if (escape_->parsed()) return GatherEscapeLine();
    return "";
}

int ModuleCommands::Run(CommandContext& ctx) const {
    if (scan_->parsed()) return RunScan(ctx);
    if (read_->parsed()) return RunRead(ctx);
    if (write_->parsed()) return RunWrite(ctx, values_);
    if (init_->parsed()) return RunInit(ctx);
    if (mode_->parsed()) return RunMode(ctx, modeName_ == "master" ? 1 : modeName_ == "slave" ? 2 : 0);
    return RunEscape(ctx, escapeLine_[0], escapeLine_[1], escapeLine_[2], escapeLine_[3]);
}
