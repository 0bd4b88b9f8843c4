#pragma once
// Port names as every layer reads, compares, orders and lists them.
#include <string>
#include <vector>

// 3 for "COM3" ("com3" alike); 0 for anything else. The number is decimal,
// from 1, without a leading zero and at most nine digits long.
unsigned KvComNumber(const std::string& name);

// The device a port name opens, or "" when it names no port. On Linux "COM3"
// is /dev/ttyS2; on Windows it is \\.\COM3, and a name already in the device
// namespace ("\\.\COM10") is taken as it is. A path starting with "/" is taken
// as it is on both.
std::string KvPortDevicePath(const std::string& name);

inline bool KvIsPortName(const std::string& name) { return !KvPortDevicePath(name).empty(); }

// Names that differ only in ASCII letter case ("com4", "COM4").
bool KvSamePortName(const std::string& a, const std::string& b);

// Two names of one device: "COM3" and "com3" everywhere, "COM3" and
// /dev/ttyS2 on Linux.
bool KvSamePort(const std::string& a, const std::string& b);

// Orders names so that runs of digits compare by value: ttyUSB2 < ttyUSB10.
bool KvPortNameLess(const std::string& a, const std::string& b);

// The COM ports every list offers whether present or not: "COM1" to "COM20".
std::vector<std::string> KvListedComNames();

// The serial devices present under `deviceRoot`, by path: the links in
// serial/by-id, then ttyUSB*, ttyACM*, ttyAMA* and rfcomm* (USB adapters,
// on-board UARTs of small boards, Bluetooth serial links), each group in
// KvPortNameLess order. Folders and hidden entries are left out. Empty on
// Windows, where discovery finds the COM ports.
std::vector<std::string> KvSerialDevicePaths(const std::string& deviceRoot = "/dev");
