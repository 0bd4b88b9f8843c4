#pragma once
// `tarnik ports`: the serial devices of this machine.
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "KvPortDiscovery.h"

// One object per port: name, path, byId, vendor, product, serialNumber,
// driver, description; null where nothing is known.
nlohmann::ordered_json PortsJson(const std::vector<KvPortInfo>& ports);
// What is known of a port, as KvDescribePort says it (the JSON's description)
// but in the chosen language.
std::string PortDescriptionText(const KvPortInfo& port);
// A line per port: its name and description, the by-id name below it.
std::string PortsText(const std::vector<KvPortInfo>& ports);

int RunPorts(bool json, std::FILE* out);
