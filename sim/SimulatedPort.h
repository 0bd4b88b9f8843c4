#pragma once
// A simulated module registered under a port name for the life of the object:
// the program's KvSerialPort opening that name talks to the module.
#include <memory>
#include <string>

#include "KvClock.h"
#include "KvVirtualPort.h"
#include "TarnikModule.h"
#include "VirtualModulePort.h"

namespace tarnik::sim {

class SimulatedPort {
public:
    SimulatedPort(std::string portName, ModuleConfig config, KvClock& clock, bool paceAtBaud = true);
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    Module& module() { return *module_; }
    VirtualModulePort& port() { return *port_; }
    std::shared_ptr<Module> shared() { return module_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::shared_ptr<Module> module_;
    std::shared_ptr<VirtualModulePort> port_;
    KvVirtualPorts::Registration registration_;
};

}  // namespace tarnik::sim
