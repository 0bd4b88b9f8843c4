// Placeholder until the termios implementation lands: every OS port fails to open.
#include "KvSerialPort.h"
bool KvSerialPort::OsOpen(const KvString&) { return false; }
bool KvSerialPort::OsSetLine(const KvLineParams&) { return false; }
bool KvSerialPort::OsSetTimeouts(const KvPortTimeouts&) { return false; }
bool KvSerialPort::OsWriteByte(std::uint8_t) { return false; }
bool KvSerialPort::OsReadByte(std::uint8_t&) { return false; }
bool KvSerialPort::OsClose() { return false; }
