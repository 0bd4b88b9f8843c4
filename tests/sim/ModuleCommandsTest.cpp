// The commands, their scopes, answers and rejections, from the bytes on the line.
#include <gtest/gtest.h>

#include "Wire.h"

using namespace simtest;

TEST(ModuleCommands, ValuePairSettingsAreWrittenByScopeAndReportBothBanks) {
    struct Case {
        const char* mnemonic;
        int running, stored;  // set before the requests
        int a, b, c;          // values for "-", "@" and "+" writes
        int tarnik::sim::Bank::*field;
    };
    const Case cases[] = {
        {"MOD", 0, 2, 1, 2, 0, &tarnik::sim::Bank::mode},
        {"SAD", 25, 7, 9999, 65535, 0, &tarnik::sim::Bank::address},
        {"PAD", 1, 0, 300, 4, 12, &tarnik::sim::Bank::partnerAddress},
        {"PAN", 4660, 1, 2, 3, 65535, &tarnik::sim::Bank::pan},
        {"FRQ", 3, 75, 75, 0, 40, &tarnik::sim::Bank::frequency},
        {"RTY", 3, 5, 0, 255, 7, &tarnik::sim::Bank::retryCount},
        {"LED", 1, 0, 0, 1, 1, &tarnik::sim::Bank::led},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mnemonic);
        Wire wire;
        wire.module->MutableRunning().*c.field = c.running;
        wire.module->MutableStored().*c.field = c.stored;
        const std::string m = c.mnemonic;
        auto pair = [&](int r, int s) { return "*" + m + ": " + std::to_string(r) + "/" + std::to_string(s) + "\r\n"; };

        EXPECT_EQ(wire.Ask("-" + m + "\r\n"), pair(c.running, c.stored));
        EXPECT_EQ(wire.Ask("@" + m + "\r\n"), pair(c.running, c.stored));  // a query in any scope
        EXPECT_EQ(wire.Ask("-" + m + ":" + std::to_string(c.a) + "\r\n"), pair(c.a, c.stored));
        EXPECT_EQ(wire.Ask("@" + m + ":" + std::to_string(c.b) + "\r\n"), pair(c.a, c.b));
        EXPECT_EQ(wire.Ask("+" + m + ":" + std::to_string(c.c) + "\r\n"), pair(c.c, c.c));
        EXPECT_EQ(wire.module->Running().*c.field, c.c);
        EXPECT_EQ(wire.module->Stored().*c.field, c.c);
    }
}

TEST(ModuleCommands, VersionSerialNumberAndLineSettingsAnswerFromIndexSix) {
    auto config = At(9600, '8', 'N', '1');
    config.version = "2.10.017";
    config.serialNumber = 4321;
    Wire wire(config);
    EXPECT_EQ(wire.Ask("-VER\r\n"), "*VER: 2.10.017\r\n");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: 000004321\r\n");
    EXPECT_EQ(wire.Ask("-SCI\r\n"), "*SCI: 9600,8,N,1/9600,8,N,1\r\n");
    // A stored-only change answers with both halves and leaves the line alone.
    EXPECT_EQ(wire.Ask("@SCI:1200,7,O,2\r\n"), "*SCI: 9600,8,N,1/1200,7,O,2\r\n");
    EXPECT_EQ(wire.Ask("-SCI\r\n"), "*SCI: 9600,8,N,1/1200,7,O,2\r\n");
    EXPECT_EQ(wire.module->CurrentLine(), (tarnik::sim::LineSettings{9600, '8', 'N', '1'}));
}

TEST(ModuleCommands, PinFunctionsTravelAsFourDigitsWithinEachPairsRange) {
    Wire wire;
    std::copy_n("0120", 4, wire.module->MutableRunning().pins);
    EXPECT_EQ(wire.Ask("-PFC\r\n"), "*PFC: 0120/0000\r\n");
    EXPECT_EQ(wire.Ask("@PFC:0200\r\n"), "*PFC: 0120/0200\r\n");
    EXPECT_EQ(wire.Ask("-PFC:2211\r\n"), "*PFC: 2211/0200\r\n");
    EXPECT_EQ(wire.Ask("+PFC:1001\r\n"), "*PFC: 1001/1001\r\n");
    // I/O 1-2 and 3-4 take 0 to 2, I/O 5-6 and 7-8 only 0 and 1.
    for (const char* bad : {"-PFC:3000\r\n", "-PFC:0300\r\n", "-PFC:0020\r\n", "-PFC:0002\r\n", "-PFC:012\r\n",
                            "-PFC:01000\r\n", "-PFC:01a0\r\n", "-PFC:\r\n"}) {
        EXPECT_EQ(wire.Ask(bad), "*NAK:03\r\n") << bad;
    }
    EXPECT_EQ(wire.Ask("-PFC\r\n"), "*PFC: 1001/1001\r\n");

    auto config = At(9600, '8', 'N', '1');
    config.fixedPins = true;
    Wire fixed(config);
    EXPECT_EQ(fixed.Ask("-PFC\r\n"), "*PFC: 0000/0000\r\n");
    for (const char* write : {"-PFC:0000\r\n", "@PFC:0000\r\n", "+PFC:1000\r\n"}) {
        EXPECT_EQ(fixed.Ask(write), "*NAK:03\r\n") << write;
    }
}

TEST(ModuleCommands, RejectionsCarryTheirCodesAndChangeNothing) {
    Wire wire;
    const tarnik::sim::Bank running = wire.module->Running();
    const tarnik::sim::Bank stored = wire.module->Stored();
    // 01: not a command
    for (const char* line : {"-XYZ\r\n", "-man\r\n", "*MAN\r\n", "MAN\r\n", "-MA\r\n", "-MANX\r\n", "-MAN?1\r\n"}) {
        EXPECT_EQ(wire.Ask(line), "*NAK:01\r\n") << line;
    }
    EXPECT_EQ(wire.Ask("-" + std::string(200, 'A') + "\r\n"), "*NAK:01\r\n");
    // 03: parameters the module does not take
    for (const char* line : {"-MOD:3\r\n", "-MOD:15\r\n", "-FRQ:76\r\n", "-SAD:65536\r\n", "-SAD:-1\r\n", "-SAD: 5\r\n",
                             "-SAD:12x\r\n", "-MOD:\r\n", "-LED:2\r\n", "-SCI:115200,8,N,1\r\n", "-SCI:9600,9,N,1\r\n",
                             "-SCI:9600,8,X,1\r\n", "-SCI:9600,8,N,3\r\n", "-SCI:9600,8,N\r\n", "-SCI:9600,8,N,1,1\r\n",
                             "-SCI:9600,8,n,1\r\n", "-VER:1\r\n", "-MAN:1\r\n", "-INI:1\r\n"}) {
        EXPECT_EQ(wire.Ask(line), "*NAK:03\r\n") << line;
    }
    // 02: routes, unless the module serves neighbours
    EXPECT_EQ(wire.Ask("-MAN!000012345\r\n"), "*NAK:02\r\n");
    EXPECT_EQ(wire.Ask("+SAD!5,9,3:7\r\n"), "*NAK:02\r\n");
    EXPECT_EQ(wire.module->Running(), running);
    EXPECT_EQ(wire.module->Stored(), stored);
    // A bare CR LF asks nothing.
    EXPECT_EQ(wire.Ask("\r\n"), "");

    auto config = At(9600, '8', 'N', '1');
    config.neighbours = true;
    Wire relay(config);
    EXPECT_EQ(relay.Ask("-MAN!000012345\r\n"), "*MAN: 123456789\r\n");
    EXPECT_EQ(relay.Ask("+SAD!5,9,3:7\r\n"), "*SAD: 7/7\r\n");
    for (const char* line : {"-MAN!\r\n", "-MAN!5,\r\n", "-MAN!5,,9\r\n", "-MAN!1234567890\r\n", "-MAN!x\r\n"}) {
        EXPECT_EQ(relay.Ask(line), "*NAK:02\r\n") << line;
    }
    // Every request heard is logged with its answer as sent.
    ASSERT_FALSE(relay.module->Log().empty());
    EXPECT_EQ(relay.module->Log().front().request, "-MAN!000012345\r\n");
    EXPECT_EQ(relay.module->Log().front().answer, "*MAN: 123456789\r\n");
}
