#pragma once
// The lines of the COM port list: the name each port is opened by, and the
// text the open list shows for it.
#include <string>
#include <vector>

#include "KvPortDiscovery.h"
#include "KvPortName.h"

struct CPortListEntry {
    std::string name;  // what the port is opened by
    std::string text;  // the name, and what the device is when that is known: "COM3  USB Serial Device (usbser)"
    // What the closed list shows: a device path without its folders
    // ("ttyUSB0" for "/dev/ttyUSB0"), so that two adapters stay apart in the
    // narrow box; any other name as it is.
    std::string shortName;
};

// "COM1" to "COM20" first, then the serial devices that discovery found, each
// with its description (KvDescribePort), then whatever of `named` (ports found
// by their names alone: the device paths present on Linux) is not listed yet. A
// device that a listed name already opens (COM3 on Windows; /dev/ttyS2, which
// is COM3 on Linux) describes that entry instead of standing twice, so the COM
// names whose device is present say so.
std::vector<CPortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                            const std::vector<std::string>& named = KvSerialDevicePaths());

// The closed list's text for a port name (CPortListEntry::shortName).
std::string PortShortName(const std::string& name);

// The names of the entries, in order: what CSettingsForm::UpdatePortNames takes.
std::vector<std::string> PortListNames(const std::vector<CPortListEntry>& entries);
