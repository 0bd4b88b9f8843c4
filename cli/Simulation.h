#pragma once
// --simulate: a simulated module inside the process, registered under the
// port name, so every command can be tried without hardware (and tested).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "KvClock.h"

namespace tarnik::sim {
class SimulatedPort;
}

struct SimulationOptions {
    std::string line = "9600,8,N,1";  // the module's line settings at power-up
    std::string serial;               // "" keeps the simulator's default
    std::string version;              // "" keeps the simulator's default
    bool fixedPins = false;
    std::string storedMode;                 // "" standard
    std::vector<std::string> faults;        // KIND[:MNEMONIC[:COUNT]], from power-up
    std::vector<std::string> changeFaults;  // the same, armed when the command starts changing the module
    bool log = false;                       // print every exchange on standard error at the end
    // The modules that follow the first, in order, as tarnik-sim's swap takes
    // them: "" for the next serial number with factory settings, or module
    // options ("--serial 7 --baud 19200 --fault nak:SAD").
    std::vector<std::string> swaps;
};

// A second simulated module beside the one `options` describe, as a swap would
// bring it: the next serial number, factory settings, no faults.
SimulationOptions NextModuleOptions(const SimulationOptions& options);

class Simulation {
public:
    // Checks the options; "" when they are fine, otherwise "option: problem".
    static std::string Check(const SimulationOptions& options);

    // Registers the module under `portName` (options already checked).
    Simulation(const std::string& portName, const SimulationOptions& options, KvClock& clock);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Arms the faults meant for the command's own requests (after the search
    // and the read that every command starts with).
    void ArmChangeFaults();

    // The next module of the script takes the place of the present one, as an
    // operator changes modules on a bench; false when the script has none left.
    bool Swap();
    std::uint32_t SerialNumber();

    // The requests the modules heard and their answers, one exchange a line,
    // each swap marked.
    void PrintLog(std::FILE* out) const;

private:
    std::string LogText() const;

    std::unique_ptr<tarnik::sim::SimulatedPort> port_;
    std::vector<std::string> changeFaults_;
    std::vector<std::string> swaps_;
    std::size_t swapped_ = 0;
    std::string earlierLog_;
};
