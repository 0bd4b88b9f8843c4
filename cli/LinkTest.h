#pragma once
// tarnik link-test: proves that two modules in transparent mode carry data
// between them. Both ports are driven by this program and no command is ever
// sent: a test packet is printable ASCII with no CR LF anywhere, so a module
// still in standard mode never completes a request line from it.
//
// A packet, `size` bytes on the line (framing included):
//   "~"  kind (A: from --port, B: from --peer-port, P ping, Q pong)
//   sequence number (8 hex digits)  payload length (4 hex digits)
//   payload (printable, never "~")  CRC-32 of kind to payload (8 hex digits)
// "~" occurs only at the start, so a receiver finds the next packet after a
// loss or a bit error.
//
// Phases: packets from A to B at the line rate, the same from B to A, then a
// ping-pong (A sends, B answers as soon as the ping is in, A times the round
// trip). Each stream starts with a probe packet that must come through within
// a short time (three tries): when none does, the modules are not passing
// data on, and the test ends there.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "KvClock.h"
#include "KvSerialPort.h"
#include "ProvisionLog.h"
#include "SerialSettings.h"

// Opens `port` at `line` for raw byte traffic: reads return at once when
// nothing is there. Empty or what went wrong.
Said OpenRawPort(KvSerialPort& port, const std::string& name, const SerialSettings& line);

// "9600,8,N,1" from a record that pair wrote (baudRate, dataBits, parity,
// stopBits); false when the record has none.
bool LineFromPairRecord(const nlohmann::json& record, SerialSettings& line);

struct LinkTestOptions {
    std::string port;
    std::string peerPort;
    SerialSettings line;
    std::optional<double> seconds;  // the whole test's time (default 10 s) ...
    std::optional<long> packets;    // ... or packets each way
    std::size_t size = 64;
    std::optional<double> minDelivery;  // percent
    bool json = false;
    bool quiet = false;
    bool terminal = false;  // standard error is a terminal: one progress line, rewritten
    std::shared_ptr<RecordFile> log;
};

// Runs the test; the report on `out` (text or JSON), progress and problems on
// `err`. Exit code: 0, 3 a port cannot be opened, 5 nothing came through or
// the delivery fell below --min-delivery.
int RunLinkTest(const LinkTestOptions& options, KvClock& clock, std::FILE* out, std::FILE* err);

class LinkTestCommand {
public:
    void Register(CLI::App& app, bool& json);
    bool Parsed() const { return command_->parsed(); }
    // After parsing: "" or what is wrong (nothing has been sent). `line` is
    // the global --line; without it the line comes from the pair's record in --log.
    std::string Check(const std::string& port, const std::optional<SerialSettings>& line);
    LinkTestOptions& Options() { return options_; }

private:
    CLI::App* command_ = nullptr;
    std::string seconds_, packets_, size_, minDelivery_, logPath_;
    LinkTestOptions options_;
};
