#pragma once
// Serves the simulated module on a pseudo-terminal (POSIX): the program, or any
// terminal program, opens the slave side as if it were the module's serial port.
//
// A pseudo-terminal carries no real line, but the settings the other end
// applied can be read on the master side with tcgetattr. Linux keeps the baud
// rate, the stop-bit flag and the odd-parity flag of those settings, but forces
// 8 data bits and clears the parity-enable flag. The module therefore matches on
// what can be seen: the baud rate, the stop bits, and odd parity against none or
// even. Data bits, and even parity against none, cannot be told apart here.
//
// Like KvSerialPort, this thin wrapper around the operating system reports
// failure as false with a text, and throws nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TarnikModule.h"

namespace tarnik::sim {

// What a pseudo-terminal shows of the other end's line settings.
struct VisibleLine {
    std::uint32_t baud = 0;
    bool oddParity = false;
    bool twoStopBits = false;
};

bool Matches(const VisibleLine& seen, const LineSettings& line);
// The settings a byte is taken to have been sent at: the module's own when
// everything visible matches, otherwise settings that differ from them.
LineSettings SentAt(const VisibleLine& seen, const LineSettings& moduleLine);

class Radio;

class PtyServer {
public:
    // `label` names the module in the log when one process serves two ("" for none).
    PtyServer(ModuleConfig config, bool paceAtBaud, std::string label = "");
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal and holds its slave side open in raw mode at
    // the module's line settings, so that nothing is echoed and the master side
    // stays usable while no program has the port open.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }
    // A symbolic link to the slave side; an existing symbolic link is replaced,
    // any other file is left alone and reported. Removed again on destruction.
    bool MakeLink(const std::string& path, std::string& error);

    // Serves until SIGINT or SIGTERM arrives through signalFd (one byte per
    // signal number) or, with exitOnEof, standard input ends. SIGUSR1 and a
    // line "power" on standard input power-cycle the module; "status" reports;
    // "swap [OPTIONS]" puts a new module in its place.
    // Returns the exit status.
    int Run(int signalFd, bool exitOnEof);

    Module& module() { return module_; }

    // --- for Serve ---
    int MasterFd() const { return master_; }
    // Hands the module what the other end wrote.
    void TakeInput();
    // Writes the module's bytes that are due.
    void SendDue();
    // When the module's next byte is due.
    std::optional<Micros> NextDue() const;
    void PowerCycle(const char* why);
    void Status();
    // A new module in place of the old one ("swap [OPTIONS]" on standard input).
    void Swap(const std::string& options);
    // A line of the log, with the module's label.
    void Report(const std::string& text) const;

private:
    VisibleLine Seen() const;
    void ReportNewExchanges();

    Module module_;
    std::string label_;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
    Micros poweredAt_{0};
    std::size_t reported_ = 0;
    std::uint64_t ignoredReported_ = 0;
    bool transparentDataReported_ = false;
};

// Serves the modules on their pseudo-terminals, and the radio between them
// when one is given, as PtyServer::Run does for one: "power", "status" and
// SIGUSR1 reach every module, "swap" the first; "K COMMAND" module K alone.
int Serve(const std::vector<PtyServer*>& servers, Radio* radio, int signalFd, bool exitOnEof);

}  // namespace tarnik::sim
