#include "SimulatedPort.h"

namespace tarnik::sim {

SimulatedPort::SimulatedPort(std::string portName, ModuleConfig config, KvClock& clock, bool paceAtBaud)
    : name_(std::move(portName)),
      module_(std::make_shared<Module>(std::move(config))),
      port_(std::make_shared<VirtualModulePort>(module_, clock, paceAtBaud)),
      registration_(name_, port_) {}

}  // namespace tarnik::sim
