#pragma once
// --simulate: a simulated module inside the process, registered under the
// port name, so every command can be tried without hardware (and tested).
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
    std::string storedMode;           // "" standard
    std::vector<std::string> faults;  // KIND[:MNEMONIC[:COUNT]], from power-up
    std::vector<std::string> changeFaults;  // the same, armed when the command starts changing the module
    bool log = false;                 // print every exchange on standard error at the end
};

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

    // The requests the module heard and its answers, one exchange a line.
    void PrintLog(std::FILE* out) const;

private:
    std::unique_ptr<tarnik::sim::SimulatedPort> port_;
    std::vector<std::string> changeFaults_;
};
