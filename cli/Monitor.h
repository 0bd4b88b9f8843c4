#pragma once
// tarnik monitor: a plain terminal to a module in transparent mode. What is
// typed goes out as it is typed; what comes in is shown as the rest of the
// tool shows text from a module (Utf8Text.h: control characters and bytes
// that are not UTF-8 as \xHH), a line break after each LF, or as hex with
// --hex; --timestamps puts the time before each line shown. Ctrl-] ends it;
// with piped input, its end and then half a second without a byte from the
// module.
// POSIX only: on Windows it says so and ends.
#include <string>

#include <CLI/CLI.hpp>

#include "SerialSettings.h"

class MonitorCommand {
public:
    void Register(CLI::App& app);
    bool Parsed() const { return command_->parsed(); }
    // Exit code: 0 after Ctrl-] or the end of standard input, 3 when the
    // port cannot be opened, 5 when it fails.
    int Run(const std::string& port, const SerialSettings& line) const;

private:
    CLI::App* command_ = nullptr;
    bool hex_ = false;
    bool timestamps_ = false;
};
