#pragma once
// The lines of the COM port list: the name each port is opened by, and the
// text the open list shows for it.
#include <string>
#include <vector>

#include "KvPortDiscovery.h"
#include "KvPortName.h"

struct CPortListEntry {
    std::string name;  // what the port is opened by; what the closed list shows
    std::string text;  // the name, and what the device is when that is known: "COM3  USB Serial Device (usbser)"
};

// "COM1" to "COM20" first, then the serial devices that discovery found, each
// with its description (KvDescribePort), then whatever of `named` (ports found
// by their names alone: the device paths present on Linux) is not listed yet. A discovered
// device that is already listed (COM3 on Windows) describes that entry instead
// of standing twice; names compare without regard to ASCII case.
std::vector<CPortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                            const std::vector<std::string>& named = KvSerialDevicePaths());

// The names of the entries, in order: what CSettingsForm::UpdatePortNames takes.
std::vector<std::string> PortListNames(const std::vector<CPortListEntry>& entries);
