#pragma once
#include <QString>
#include <QStringList>

// The names the COM port list offers: "COM1" to "COM20", then the serial devices
// present on this machine by their paths (USB adapters, on-board UARTs of small
// boards, Bluetooth serial links), so that an adapter is reachable as it is named.
QStringList ComPortNames(const QString& deviceRoot = QStringLiteral("/dev"));

// Only the device paths, in a stable order (ttyUSB2 before ttyUSB10).
QStringList SerialDevicePaths(const QString& deviceRoot = QStringLiteral("/dev"));
