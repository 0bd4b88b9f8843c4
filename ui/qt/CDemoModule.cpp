#include "CDemoModule.h"

#include "KvClock.h"
#include "TarnikSim.h"

CDemoModule::CDemoModule() {
    tarnik::sim::ModuleConfig config;
    config.line = tarnik::sim::LineSettings{19200, '8', 'E', '1'};
    port_ = std::make_unique<tarnik::sim::SimulatedPort>("COM1", config, SteadyClock(), true);
}

CDemoModule::~CDemoModule() = default;

void CDemoModule::PowerCycle() { port_->module().PowerCycle(); }
