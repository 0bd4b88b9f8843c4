#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

#include "KvPortDiscovery.h"

// The names the COM port list offers: "COM1" to "COM20", then the serial devices
// present on this machine by their paths (USB adapters, on-board UARTs of small
// boards, Bluetooth serial links), so that an adapter is reachable as it is named.
QStringList ComPortNames(const QString& deviceRoot = QStringLiteral("/dev"));

// Only the device paths, in a stable order (ttyUSB2 before ttyUSB10).
QStringList SerialDevicePaths(const QString& deviceRoot = QStringLiteral("/dev"));

// One line of the COM port list: the name the port is opened by, and the text
// the list shows (the name, and what the device is when that is known).
struct PortListEntry {
    QString name;
    QString text;
};

// The COM port list: "COM1" to "COM20" first, then the serial devices that
// discovery found, each with its description, then whatever ComPortNames finds
// by name that discovery did not list. A discovered device that is one of the
// COM names (Windows) describes that entry instead of standing twice.
QList<PortListEntry> PortListEntries(const std::vector<KvPortInfo>& discovered,
                                     const QString& deviceRoot = QStringLiteral("/dev"));
