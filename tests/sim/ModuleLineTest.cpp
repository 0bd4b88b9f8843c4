// Line settings, pacing, SCI and INI switching, power cycle and the escape
// window, seen from the program's end of the line on the virtual clock.
#include <gtest/gtest.h>

#include "Wire.h"

using namespace simtest;

TEST(ModuleLine, OnlyTheModulesOwnSettingsAreUnderstoodAmongAllCandidates) {
    const std::uint32_t bauds[] = {57600, 38400, 19200, 9600, 4800, 2400, 1200};
    for (const auto& own :
         {tarnik::sim::LineSettings{19200, '7', 'E', '2'}, tarnik::sim::LineSettings{1200, '8', 'O', '1'}}) {
        Wire wire(At(own.baud, own.dataBits, own.parity, own.stopBits), false);
        int answered = 0;
        for (const auto baud : bauds)
            for (const char d : {'7', '8'})
                for (const char p : {'N', 'E', 'O'})
                    for (const char s : {'1', '2'}) {
                        wire.Switch(baud, d, p, s);
                        const std::string answer = wire.Ask("-MAN\r\n");
                        const bool mine = tarnik::sim::LineSettings{baud, d, p, s} == own;
                        EXPECT_EQ(answer, mine ? "*MAN: 123456789\r\n" : "") << baud << d << p << s;
                        answered += !answer.empty();
                    }
        EXPECT_EQ(answered, 1);
        EXPECT_EQ(wire.module->Log().size(), 1u);
        EXPECT_EQ(wire.module->IgnoredBytes(), 83u * 6u);
    }
}

TEST(ModuleLine, AnswerIsLostWhenReadAtOtherSettingsOrWhileClosed) {
    Wire wire;
    wire.Send("-MAN\r\n");
    wire.Switch(9600, '7', 'N', '1');
    EXPECT_EQ(wire.Line(), "");
    wire.Switch(9600, '8', 'N', '1');
    EXPECT_EQ(wire.Line(), "");  // gone, not kept for later

    wire.Send("-MAN\r\n");
    wire.port.Close();
    wire.clock.SleepFor(1s);
    wire.Switch(9600, '8', 'N', '1');
    EXPECT_EQ(wire.Line(), "");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: 123456789\r\n");
}

TEST(ModuleLine, CharactersArePacedAtTheBaudRateAndReadsWaitTheirTimeOut) {
    // 9600 8N1: ten bits, 1042 us a character; 1200 7E2: eleven bits, 9167 us.
    for (const auto& [line, frame] : {std::pair{tarnik::sim::LineSettings{9600, '8', 'N', '1'}, Micros{1042}},
                                      std::pair{tarnik::sim::LineSettings{1200, '7', 'E', '2'}, Micros{9167}}}) {
        Wire wire(At(line.baud, line.dataBits, line.parity, line.stopBits));
        wire.Open(Params(line.baud, line.dataBits, line.parity, line.stopBits), 240);
        const Micros start = wire.clock.Now();
        wire.Send("-MAN\r\n");
        EXPECT_EQ(wire.clock.Now() - start, 6 * frame);  // a write returns when its byte is out
        std::uint8_t byte = 0;
        for (int k = 1; k <= 17; ++k) {
            ASSERT_TRUE(wire.port.ReadByte(byte));
            EXPECT_EQ(wire.clock.Now() - start, 6 * frame + Micros{2000} + k * frame) << k;
        }
        EXPECT_EQ(byte, '\n');
        const Micros before = wire.clock.Now();
        EXPECT_FALSE(wire.port.ReadByte(byte));
        EXPECT_EQ(wire.clock.Now() - before, Micros{240000});
    }

    // Unpaced: writes take no time, the whole answer is there after the latency.
    auto config = At(9600, '8', 'N', '1');
    config.firstByteLatency = 100ms;
    Wire slow(config, false);
    slow.Send("-MAN\r\n");
    EXPECT_EQ(slow.clock.Now(), Micros{0});
    std::uint8_t byte = 0;
    EXPECT_FALSE(slow.port.ReadByte(byte));  // 70 ms time-out before the 100 ms latency
    EXPECT_EQ(slow.clock.Now(), Micros{70000});
    EXPECT_TRUE(slow.port.ReadByte(byte));
    EXPECT_EQ(slow.clock.Now(), Micros{100000});
    EXPECT_EQ(slow.Line(), "MAN: 123456789\r\n");
    EXPECT_EQ(slow.clock.Now(), Micros{100000});
}

TEST(ModuleLine, PortOpensOnceAtATimeAndRemembersWhatWasApplied) {
    Wire wire;
    EXPECT_EQ(wire.port.OpenCount(), 1);
    EXPECT_FALSE(wire.port.Open());
    wire.port.Close();
    EXPECT_FALSE(wire.port.IsOpen());
    std::uint8_t byte = 0;
    EXPECT_FALSE(wire.port.WriteByte('-'));
    EXPECT_FALSE(wire.port.ReadByte(byte));
    EXPECT_FALSE(wire.port.SetLine(Params(9600, '8', 'N', '1')));
    EXPECT_TRUE(wire.port.Open());
    EXPECT_EQ(wire.port.OpenCount(), 2);
    EXPECT_TRUE(wire.port.SetLine(Params(4800, '7', 'O', '2')));
    EXPECT_TRUE(wire.port.SetTimeouts({0, 0, 100, 0, 100}));
    EXPECT_EQ(wire.port.LastTimeouts().readConstant, 100u);
    EXPECT_EQ(tarnik::sim::FromLineParams(wire.port.LastLine()), (tarnik::sim::LineSettings{4800, '7', 'O', '2'}));

    // Registered under a name, the program's port finds it there.
    KvVirtualClock clock;
    {
        tarnik::sim::SimulatedPort sim("COM7", {}, clock);
        EXPECT_EQ(KvVirtualPorts::Find("com7").get(), &sim.port());
    }
    EXPECT_EQ(KvVirtualPorts::Find("COM7"), nullptr);
}

TEST(ModuleLine, SciIsAnsweredAtTheOldSettingsAndTheNextRequestHeardAtTheNew) {
    Wire wire;
    EXPECT_EQ(wire.Ask("-SCI:19200,8,E,1\r\n"), "*SCI: 19200,8,E,1/9600,8,N,1\r\n");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "");
    wire.Switch(19200, '8', 'E', '1');
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: 123456789\r\n");
    EXPECT_EQ(wire.Ask("+SCI:1200,7,O,2\r\n"), "*SCI: 1200,7,O,2/1200,7,O,2\r\n");
    wire.Switch(1200, '7', 'O', '2');
    EXPECT_EQ(wire.Ask("-SCI\r\n"), "*SCI: 1200,7,O,2/1200,7,O,2\r\n");
    // Stored: taken at the next power-up.
    EXPECT_EQ(wire.Ask("@SCI:57600,8,N,2\r\n"), "*SCI: 1200,7,O,2/57600,8,N,2\r\n");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: 123456789\r\n");
    wire.module->PowerCycle();
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "");
    wire.Switch(57600, '8', 'N', '2');
    EXPECT_EQ(wire.Ask("-SCI\r\n"), "*SCI: 57600,8,N,2/57600,8,N,2\r\n");
}

TEST(ModuleLine, IniAnswersThenRestartsDeafAtFactorySettings) {
    struct Case {
        std::chrono::milliseconds configured, effective;
    };
    for (const Case c : {Case{800ms, 800ms}, Case{5000ms, 1200ms}, Case{0ms, 0ms}}) {
        SCOPED_TRACE(c.configured.count());
        auto config = At(38400, '7', 'E', '2');
        config.restartTime = c.configured;
        config.serialNumber = 77;
        Wire wire(config, false);
        EXPECT_EQ(wire.Ask("+SAD:25\r\n"), "*SAD: 25/25\r\n");
        EXPECT_EQ(wire.Ask("+PFC:1210\r\n"), "*PFC: 1210/1210\r\n");
        EXPECT_EQ(wire.Ask("@MOD:2\r\n"), "*MOD: 0/2\r\n");
        EXPECT_EQ(wire.Ask("-INI\r\n"), "*INI: OK\r\n");
        const Micros answered = wire.clock.Now();  // unpaced: the answer's end

        wire.Switch(9600, '8', 'N', '1');
        if (c.effective > 0ms) {
            wire.clock.SleepUntil(answered + c.effective - 1ms);
            EXPECT_EQ(wire.Ask("-MAN\r\n"), "");
        }
        wire.clock.SleepUntil(answered + c.effective);
        EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: 000000077\r\n");
        EXPECT_EQ(wire.Ask("-SCI\r\n"), "*SCI: 9600,8,N,1/9600,8,N,1\r\n");
        EXPECT_EQ(wire.Ask("-SAD\r\n"), "*SAD: 0/0\r\n");
        EXPECT_EQ(wire.Ask("-MOD\r\n"), "*MOD: 0/0\r\n");
        EXPECT_EQ(wire.Ask("-PFC\r\n"), "*PFC: 0000/0000\r\n");
        EXPECT_EQ(wire.Ask("-RTY\r\n"), "*RTY: 3/3\r\n");
        EXPECT_EQ(wire.Ask("-LED\r\n"), "*LED: 1/1\r\n");
    }
}

TEST(ModuleLine, PowerCycleTakesTheStoredBankAndStoredModeStartsTransparentMode) {
    Wire wire;
    EXPECT_EQ(wire.Ask("@SAD:77\r\n"), "*SAD: 0/77\r\n");
    EXPECT_EQ(wire.Ask("@MOD:1\r\n"), "*MOD: 0/1\r\n");
    EXPECT_EQ(wire.Ask("-MOD\r\n"), "*MOD: 0/1\r\n");  // still standard until the power cycle
    wire.module->PowerCycle();
    EXPECT_TRUE(wire.module->Transparent());
    EXPECT_EQ(wire.module->Running().address, 77);
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "");  // takes no commands

    // The escape string at other settings does nothing; at the module's own it
    // ends transparent mode within the window.
    wire.clock.SleepFor(29s);
    wire.Switch(9600, '7', 'N', '1');
    wire.Escape();
    EXPECT_TRUE(wire.module->Transparent());
    wire.Switch(9600, '8', 'N', '1');
    wire.Escape();
    EXPECT_FALSE(wire.module->Transparent());
    EXPECT_EQ(wire.Ask("-MOD\r\n"), "*MOD: 0/1\r\n");
    EXPECT_EQ(wire.Ask("+MOD:0\r\n"), "*MOD: 0/0\r\n");
    EXPECT_EQ(wire.Ask("-SAD\r\n"), "*SAD: 77/77\r\n");
    wire.module->PowerCycle();
    EXPECT_FALSE(wire.module->Transparent());

    // After the window the string is ignored.
    EXPECT_EQ(wire.Ask("@MOD:2\r\n"), "*MOD: 0/2\r\n");
    wire.module->PowerCycle();
    wire.clock.SleepFor(30s);
    wire.Escape();
    EXPECT_TRUE(wire.module->Transparent());
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "");
}

TEST(ModuleLine, EscapeWindowFollowsItsConfiguredScaleFromPowerUp) {
    auto config = At(4800, '8', 'E', '1');
    config.escapeWindow = 500ms;
    config.storedMode = 2;
    Wire late(config);
    EXPECT_TRUE(late.module->Transparent());  // powered up transparent
    late.clock.SleepFor(501ms);
    late.Escape();
    EXPECT_TRUE(late.module->Transparent());

    Wire early(config);
    early.clock.SleepFor(400ms);  // the data and the string take another 69 ms at 4800 8E1
    early.Send("data for the partner");
    early.Escape();
    EXPECT_FALSE(early.module->Transparent());
    EXPECT_EQ(early.Ask("-MAN\r\n"), "*MAN: 123456789\r\n");

    // In standard mode the string is dropped and the request after it is heard.
    Wire standard;
    standard.Escape();
    EXPECT_EQ(standard.Ask("+MOD:0\r\n"), "*MOD: 0/0\r\n");
}
