#include "SerialSettings.h"

namespace {
struct ScanPosition {
    std::int32_t baud = 0;
    std::int32_t dataBits = 0;
    std::int32_t parity = 0;
    std::int32_t stopBits = 0;
};
// Each thread searches with a position of its own (tarnik searches several
// ports at once, one thread each).
thread_local ScanPosition position;
}  // namespace

void ResetScanPosition() { position = ScanPosition{}; }

SerialSettings CurrentScanSettings() {
    return SerialSettings{kScanBaudRates[position.baud], kScanDataBits[position.dataBits],
                          kScanParities[position.parity], kScanStopBits[position.stopBits]};
}

bool AdvanceScanPosition() {
    // An odometer: stop bits turn fastest, the baud rate slowest.
    if (++position.stopBits <= 1) return false;
    position.stopBits = 0;
    if (++position.parity <= 2) return false;
    position.parity = 0;
    if (++position.dataBits <= 1) return false;
    position.dataBits = 0;
    if (++position.baud <= 6) return false;
    position.baud = 0;
    return true;
}

KvString FormatSerialSettings(const SerialSettings& settings) {
    KvString text = KvString::FromUnsigned(static_cast<std::uint32_t>(settings.baudRate));
    text += "bps, ";
    text += settings.dataBits == '7' ? "7bits, " : "8bits, ";
    if (settings.parity == 'E') {
        text += "even, ";
    } else if (settings.parity == 'N') {
        text += "none, ";
    } else {
        text += "odd, ";
    }
    text += settings.stopBits == '1' ? "stop1" : "stop2";
    return text;
}
