#pragma once
// Everything of the simulated Tarnik module in one include.
#include "ModuleOptions.h"
#include "SimulatedPort.h"
#include "TarnikModule.h"
#include "VirtualModulePort.h"
