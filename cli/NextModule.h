#pragma once
// How the next module comes to the port when one module after another is
// configured (pair on one port, provision): the operator changes it and
// presses Enter; or, with a USB adapter, unplugs it and plugs in the next
// (udev, Linux); or the simulation swaps in the next module of its script.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleHost.h"

class Simulation;

class NextModule {
public:
    virtual ~NextModule() = default;
    // Waits until the next module is there; false when the run is to end (the
    // operator said so, standard input ended, the script has no module left).
    // `what` says what to connect ("the next module", "the slave module").
    virtual bool Wait(ConsoleHost& host, const std::string& what) = 0;
    // The port the module is on now (a new adapter may bring a new name).
    virtual std::string Port() const = 0;
};

// The operator changes the module and presses Enter; "q" or the end of
// standard input ends the run.
std::unique_ptr<NextModule> MakeEnterKeyNext(const std::string& port, std::FILE* in = stdin);
// The same for several stations on one terminal: one for each port, in order;
// the operator types the station's number and Enter (see NextModule.cpp).
std::vector<std::unique_ptr<NextModule>> MakeStationPrompts(const std::vector<std::string>& ports,
                                                            std::FILE* in = stdin);
// The simulation's next scripted module.
std::unique_ptr<NextModule> MakeSimulatedNext(const std::string& port, Simulation& simulation);
// A USB adapter leaving and a new one arriving. Null, with `problem` set, where
// the system offers no device events.
std::unique_ptr<NextModule> MakeUsbReplugNext(const std::string& port, std::string& problem);
