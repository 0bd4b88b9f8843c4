#pragma once
#include <memory>

namespace tarnik::sim {
class SimulatedPort;
}

// Demo mode: a simulated module inside the program, registered on "COM1". It
// runs on the steady clock with its line paced at the baud rate and starts at
// 19200 8E1, so a scan visibly walks through the faster candidates first.
class CDemoModule {
public:
    CDemoModule();
    ~CDemoModule();
    CDemoModule(const CDemoModule&) = delete;
    CDemoModule& operator=(const CDemoModule&) = delete;

    // Switches the module off and on (a module set to transparent mode enters it).
    void PowerCycle();

private:
    std::unique_ptr<tarnik::sim::SimulatedPort> port_;
};
