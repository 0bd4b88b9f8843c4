#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "KvStringPrinting.h"
#include "SerialSettings.h"

namespace {
SerialSettings Make(std::int32_t baud, char dataBits, char parity, char stopBits) {
    return SerialSettings{baud, dataBits, parity, stopBits};
}
}  // namespace

TEST(SerialSettings, ScanVisitsEveryCandidateOnceInOdometerOrderAndWraps) {
    ResetScanPosition();
    std::vector<SerialSettings> order{CurrentScanSettings()};
    for (int call = 1; call < kScanCandidateCount; ++call) {
        ASSERT_FALSE(AdvanceScanPosition()) << "call " << call;
        order.push_back(CurrentScanSettings());
    }
    // The 84th call reports that every candidate has been tried and starts over.
    EXPECT_TRUE(AdvanceScanPosition());
    EXPECT_EQ(CurrentScanSettings(), Make(57600, '7', 'N', '1'));

    ASSERT_EQ(order.size(), 84u);
    EXPECT_EQ(order[0], Make(57600, '7', 'N', '1'));
    EXPECT_EQ(order[1], Make(57600, '7', 'N', '2'));
    EXPECT_EQ(order[2], Make(57600, '7', 'E', '1'));
    EXPECT_EQ(order[6], Make(57600, '8', 'N', '1'));
    EXPECT_EQ(order[11], Make(57600, '8', 'O', '2'));
    EXPECT_EQ(order[12], Make(38400, '7', 'N', '1'));
    EXPECT_EQ(order[42], Make(9600, '8', 'N', '1'));
    EXPECT_EQ(order[83], Make(1200, '8', 'O', '2'));

    std::set<std::tuple<int, int, int, int>> distinct;
    for (const auto& s : order) {
        distinct.emplace(s.baudRate, s.dataBits, s.parity, s.stopBits);
        EXPECT_NE(s.baudRate, 0) << "the table's closing 0 is never reached";
    }
    EXPECT_EQ(distinct.size(), 84u);

    // Baud rates come in blocks of twelve, fastest first.
    const std::int32_t expectedBauds[] = {57600, 38400, 19200, 9600, 4800, 2400, 1200};
    for (int i = 0; i < 84; ++i) EXPECT_EQ(order[i].baudRate, expectedBauds[i / 12]) << "attempt " << i + 1;

    // A new search starts again at the first candidate, from wherever the last stopped.
    for (int i = 0; i < 5; ++i) AdvanceScanPosition();
    ResetScanPosition();
    EXPECT_EQ(CurrentScanSettings(), Make(57600, '7', 'N', '1'));
}

TEST(SerialSettings, FormatsTheProgressText) {
    const KvString first = FormatSerialSettings(Make(57600, '7', 'N', '1'));
    EXPECT_EQ(first, "57600bps, 7bits, none, stop1");
    EXPECT_EQ(first.Length(), 28);
    EXPECT_EQ(FormatSerialSettings(Make(1200, '8', 'O', '2')), "1200bps, 8bits, odd, stop2");
    EXPECT_EQ(FormatSerialSettings(Make(9600, '8', 'E', '1')), "9600bps, 8bits, even, stop1");
    // Tokens outside the lists fall to the last choice of each piece.
    EXPECT_EQ(FormatSerialSettings(Make(2400, '5', 'M', '0')), "2400bps, 8bits, odd, stop2");
}
