#pragma once
#include <cstdint>

#include "KvString.h"

// Line settings of a device: the baud rate in bits per second and three tokens
// held as character codes: dataBits '7'/'8', parity 'N'/'E'/'O', stopBits '1'/'2'.
struct SerialSettings {
    std::int32_t baudRate = 9600;
    std::int32_t dataBits = '8';
    std::int32_t parity = 'N';
    std::int32_t stopBits = '1';

    bool operator==(const SerialSettings&) const = default;
};

// The lists the user picks from, in their order on screen.
inline constexpr std::int32_t kUserBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
inline constexpr std::int32_t kUserDataBits[] = {'7', '8'};
inline constexpr std::int32_t kUserParities[] = {'N', 'E', 'O'};
inline constexpr std::int32_t kUserStopBits[] = {'1', '2'};

// Candidate tables of the device search, fast to slow. The trailing 0 of the
// baud table is never reached.
inline constexpr std::int32_t kScanBaudRates[] = {57600, 38400, 19200, 9600, 4800, 2400, 1200, 0};
inline constexpr std::int32_t kScanDataBits[] = {'7', '8'};
inline constexpr std::int32_t kScanParities[] = {'N', 'E', 'O'};
inline constexpr std::int32_t kScanStopBits[] = {'1', '2'};
inline constexpr int kScanCandidateCount = 7 * 2 * 3 * 2;

// The scan position belongs to the thread: one search at a time in each thread
// uses it, and searches on other threads do not disturb it.
void ResetScanPosition();
SerialSettings CurrentScanSettings();
// Steps to the next candidate; true when every candidate has now been tried
// (the position is then back on the first one).
bool AdvanceScanPosition();

// "57600bps, 7bits, none, stop1"
KvString FormatSerialSettings(const SerialSettings& settings);
