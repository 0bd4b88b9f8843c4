// Injected faults as they show on the line.
#include <gtest/gtest.h>

#include "Wire.h"

using namespace simtest;
using tarnik::sim::Fault;
using tarnik::sim::FaultKind;

namespace {
Fault Make(FaultKind kind, int count = 1, const char* mnemonic = "") {
    Fault f;
    f.kind = kind;
    f.count = count;
    f.mnemonic = mnemonic;
    return f;
}
const std::string kMan = "*MAN: 123456789\r\n";
}  // namespace

TEST(ModuleFaults, SilenceForTheNextRequestsOrOneMnemonicWhileTheRequestIsCarriedOut) {
    Wire wire;
    wire.module->InjectFault(Make(FaultKind::Silence, 2));
    EXPECT_EQ(wire.Ask("-SAD:5\r\n"), "");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "");
    EXPECT_EQ(wire.Ask("-SAD\r\n"), "*SAD: 5/0\r\n");
    EXPECT_EQ(wire.module->Log()[0].answer, "");

    wire.module->InjectFault(Make(FaultKind::Silence, -1, "FRQ"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(wire.Ask("-FRQ\r\n"), "");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), kMan);
    wire.module->ClearFaults();
    EXPECT_EQ(wire.Ask("-FRQ\r\n"), "*FRQ: 0/0\r\n");
}

TEST(ModuleFaults, LateFirstByteComesAfterTheReadTimeOut) {
    Wire wire;
    Fault late = Make(FaultKind::LateFirstByte);
    late.delay = 300ms;
    wire.module->InjectFault(late);
    const Micros start = wire.clock.Now();
    wire.Send("-MAN\r\n");
    EXPECT_EQ(wire.Line(), "");
    wire.Open(Params(9600, '8', 'N', '1'), 1000);
    EXPECT_EQ(wire.Line(), kMan);
    EXPECT_GT(wire.clock.Now() - start, Micros{300000});
}

TEST(ModuleFaults, AnswersCutGarbledOrOverlong) {
    Wire wire;
    Fault cut = Make(FaultKind::CutAnswer);
    cut.cutAfter = 4;
    wire.module->InjectFault(cut);
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN");

    Fault nul = Make(FaultKind::NulInAnswer);
    nul.nulAt = 6;
    wire.module->InjectFault(nul);
    EXPECT_EQ(wire.Ask("-MAN\r\n"), std::string("*MAN: \0", 7) + "123456789\r\n");

    wire.module->InjectFault(Make(FaultKind::Garbage, 1, "MAN"));
    const std::string garbage = wire.Ask("-MAN\r\n");
    EXPECT_EQ(garbage.size(), 18u);
    EXPECT_EQ(garbage.substr(16), "\r\n");
    EXPECT_EQ(garbage.find('\0'), std::string::npos);
    EXPECT_NE(garbage.substr(1, 3), "NAK");
    EXPECT_NE(garbage, kMan);

    wire.module->InjectFault(Make(FaultKind::Overlong));
    wire.Send("-MOD\r\n");
    const std::string overlong = wire.Line(1000);
    EXPECT_EQ(overlong.size(), 300u);
    EXPECT_EQ(overlong.substr(0, 6), "*MOD: ");
    EXPECT_EQ(overlong.find('\r'), std::string::npos);
    EXPECT_EQ(overlong.find('\n'), std::string::npos);
    EXPECT_EQ(wire.Ask("-MAN\r\n"), kMan);
}

TEST(ModuleFaults, AnAnswerWaitsForTheOneStillGoingOut) {
    // The program gives up on an overlong answer after 254 bytes and sends its
    // next request while the rest is still on the line: the next answer follows
    // the rest, it does not mix into it.
    Wire wire;
    wire.module->InjectFault(Make(FaultKind::Overlong, 1, "SAD"));
    wire.Send("-SAD\r\n");
    EXPECT_EQ(wire.Line(254).size(), 254u);
    wire.Send("-FRQ\r\n");
    const std::string rest = wire.Line();
    ASSERT_GE(rest.size(), 46u);
    EXPECT_EQ(rest.substr(46), "*FRQ: 0/0\r\n");
    EXPECT_EQ(rest.substr(0, 46).find_first_not_of("0123456789"), std::string::npos);
}

TEST(ModuleFaults, ChosenNakRejectsWithoutCarryingOut) {
    Wire wire;
    Fault nak = Make(FaultKind::Nak, 2, "SAD");
    nak.nakCode = 12;
    wire.module->InjectFault(nak);
    EXPECT_EQ(wire.Ask("-MAN\r\n"), kMan);
    EXPECT_EQ(wire.Ask("+SAD:40\r\n"), "*NAK:12\r\n");
    EXPECT_EQ(wire.Ask("-SAD\r\n"), "*NAK:12\r\n");
    EXPECT_EQ(wire.Ask("-SAD\r\n"), "*SAD: 0/0\r\n");
}

TEST(ModuleFaults, NonNumericSerialNumberHitsOnlyMan) {
    Wire wire;
    wire.module->InjectFault(Make(FaultKind::NonNumericMan));
    EXPECT_EQ(wire.Ask("-MOD\r\n"), "*MOD: 0/0\r\n");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), "*MAN: XXXXXXXXX\r\n");
    EXPECT_EQ(wire.Ask("-MAN\r\n"), kMan);
}

TEST(ModuleFaults, VanishedPortFailsEverythingUntilCleared) {
    Wire wire;
    wire.module->InjectFault(Make(FaultKind::PortVanishes, 1, "SAD"));
    EXPECT_EQ(wire.Ask("-MAN\r\n"), kMan);
    EXPECT_TRUE(wire.Send("-SAD\r\n"));
    std::uint8_t byte = 0;
    EXPECT_FALSE(wire.port.ReadByte(byte));
    EXPECT_FALSE(wire.port.WriteByte('-'));
    EXPECT_FALSE(wire.port.SetTimeouts({0, 0, 70, 0, 70}));
    wire.port.Close();
    EXPECT_FALSE(wire.port.Open());
    wire.module->ClearFaults();
    wire.Switch(9600, '8', 'N', '1');
    EXPECT_TRUE(wire.port.IsOpen());
    EXPECT_EQ(wire.Ask("-SAD\r\n"), "*SAD: 0/0\r\n");
}
