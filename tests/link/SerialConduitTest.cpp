#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "KvClock.h"
#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "KvStringPrinting.h"
#include "ScriptedPort.h"

namespace {
using std::chrono::milliseconds;

class SerialConduitTest : public ::testing::Test {
protected:
    SerialConduitTest() {
        // The registry ignores letter case, as Windows does with port names.
        conduit.portName = "com7";
        conduit.SetLineSettings(9600, '8', 'N', '1');
        conduit.SelectTimeout();
    }

    KvVirtualClock clock;
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    KvVirtualPorts::Registration registration{"COM7", port};
    KvSerialConduit conduit;
};

class BareConduit : public KvConduit {
public:
    void Open() override {}
    void Close() override {}
    KvString Read() override { return KvString(); }
    void Write(const KvString&) override {}
};
}  // namespace

TEST_F(SerialConduitTest, PerCallModeOpensAndClosesAroundEveryOperation) {
    conduit.Open();
    conduit.Close();
    EXPECT_EQ(port->openCount, 0);
    EXPECT_EQ(port->closeCount, 0);

    port->answers = {"VER\r\n"};
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "VER\r\n");
    EXPECT_EQ(port->openCount, 1);
    EXPECT_EQ(port->closeCount, 1);
    EXPECT_FALSE(port->isOpen);
    EXPECT_FALSE(conduit.IsOpen());

    conduit.Write("+MOD:0\r\n");
    EXPECT_EQ(port->openCount, 2);
    EXPECT_EQ(port->closeCount, 2);

    port->pendingInput = "ABC\r\n";
    EXPECT_EQ(conduit.Read(), "ABC\r\n");
    EXPECT_EQ(port->openCount, 3);
    EXPECT_EQ(port->closeCount, 3);
    EXPECT_EQ(port->written, "-VER\r\n+MOD:0\r\n");

    // An empty text sends nothing and succeeds.
    conduit.Write("");
    EXPECT_EQ(port->written, "-VER\r\n+MOD:0\r\n");
    EXPECT_FALSE(port->isOpen);
}

TEST_F(SerialConduitTest, HoldModeKeepsOnePortOpenForTheBatch) {
    conduit.keepOpen = true;
    conduit.Open();
    conduit.Open();
    EXPECT_EQ(port->openCount, 1);
    EXPECT_TRUE(conduit.IsOpen());

    port->answers = {"OK\r\n", "OK2\r\n"};
    EXPECT_EQ(conduit.Transact("-SAD:1\r\n"), "OK\r\n");
    conduit.Write("-X\r\n");  // takes the second answer
    EXPECT_EQ(conduit.Read(), "OK2\r\n");
    EXPECT_EQ(port->openCount, 1);
    EXPECT_EQ(port->closeCount, 0);
    EXPECT_TRUE(port->isOpen);

    conduit.Close();
    conduit.Close();
    EXPECT_EQ(port->closeCount, 1);
    EXPECT_FALSE(conduit.IsOpen());

    // In hold mode an operation never opens a closed port by itself.
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitWriteException);
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_EQ(port->openCount, 1);
    conduit.keepOpen = false;
}

TEST_F(SerialConduitTest, FailuresThrowTheirOwnClassAndCloseThePortWhereTheyShould) {
    port->failOpen = true;
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitOpenException);
    EXPECT_FALSE(conduit.IsOpen());
    port->failOpen = false;

    port->failSetLine = true;
    EXPECT_THROW(conduit.Write("-VER\r\n"), KvConduitConfigException);
    EXPECT_FALSE(port->isOpen);
    EXPECT_EQ(port->openCount, 1);
    EXPECT_EQ(port->closeCount, 1);
    EXPECT_FALSE(conduit.IsOpen());
    port->failSetLine = false;

    port->failSetTimeouts = true;
    conduit.keepOpen = true;
    EXPECT_THROW(conduit.Open(), KvConduitConfigException);
    EXPECT_FALSE(port->isOpen);
    EXPECT_EQ(port->closeCount, 2);
    EXPECT_FALSE(conduit.IsOpen());
    port->failSetTimeouts = false;
    conduit.keepOpen = false;
    EXPECT_TRUE(port->written.empty());

    // A failed byte write stops the text there; per call, the port is closed.
    port->failWriteAfter = 3;
    EXPECT_THROW(conduit.Write("-VER\r\n"), KvConduitWriteException);
    EXPECT_EQ(port->written, "-VE");
    EXPECT_FALSE(port->isOpen);
    EXPECT_FALSE(conduit.IsOpen());

    // In hold mode a failed write leaves the port open.
    port->failWriteAfter = 0;
    conduit.keepOpen = true;
    conduit.Open();
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitWriteException);
    EXPECT_TRUE(port->isOpen);
    EXPECT_TRUE(conduit.IsOpen());
    conduit.Close();
    conduit.keepOpen = false;
    port->failWriteAfter = -1;

    // Silence: one read time-out of 70 ms at 9600 baud, then the read fails.
    clock.ResetSlept();
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitReadException);
    EXPECT_EQ(clock.Slept(), milliseconds(70));
    EXPECT_FALSE(port->isOpen);
    EXPECT_FALSE(conduit.IsOpen());

    // A silent Read in per-call mode does not leave the port held either.
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_FALSE(port->isOpen);

    // Silence in hold mode: Transact keeps the port, Read closes it.
    conduit.keepOpen = true;
    conduit.Open();
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitReadException);
    EXPECT_TRUE(port->isOpen);
    EXPECT_THROW(conduit.Read(), KvConduitReadException);
    EXPECT_FALSE(port->isOpen);
    EXPECT_FALSE(conduit.IsOpen());
    conduit.keepOpen = false;
    EXPECT_EQ(port->openCount, port->closeCount);

    BareConduit bare;
    EXPECT_THROW(bare.Transact("-VER\r\n"), KvConduitException);
}

TEST_F(SerialConduitTest, LineSettingsReachThePortAtTheNextOpening) {
    // Fields: baud rate, byte size, parity check, parity (1 odd, 2 even), stop bits (0 one, 2 two).
    conduit.keepOpen = true;
    conduit.Open();
    EXPECT_EQ(LineOf(port->line), LineOf({9600, 8, 0, 0, 0}));

    // Changed while open: the open port keeps what it had.
    conduit.SetLineSettings(19200, '7', 'E', '2');
    conduit.SelectTimeout();
    port->answers = {"OK\r\n"};
    EXPECT_EQ(conduit.Transact("-SCI\r\n"), "OK\r\n");
    EXPECT_EQ(LineOf(port->line), LineOf({9600, 8, 0, 0, 0}));
    conduit.Close();
    conduit.Open();
    EXPECT_EQ(LineOf(port->line), LineOf({19200, 7, 1, 2, 2}));
    conduit.Close();
    conduit.keepOpen = false;

    struct Case {
        char dataBits, parity, stopBits;
        KvLineParams line;
    };
    const Case cases[] = {
        {'8', 'O', '1', {4800, 8, 1, 1, 0}},
        {'7', 'N', '2', {4800, 7, 0, 0, 2}},
        // Tokens outside the lists: 8 data bits, no parity, one stop bit.
        {'9', 'X', '3', {4800, 8, 0, 0, 0}},
        {'6', 'e', '0', {4800, 8, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        conduit.SetLineSettings(4800, c.dataBits, c.parity, c.stopBits);
        conduit.Write("x");
        EXPECT_EQ(LineOf(port->line), LineOf(c.line)) << c.dataBits << c.parity << c.stopBits;
    }
}

TEST_F(SerialConduitTest, TimeoutFollowsTheBaudRateAndReachesThePort) {
    const std::pair<std::uint32_t, std::uint32_t> table[] = {
        {1200, 240}, {2400, 150},  {4800, 100}, {9600, 70}, {19200, 70}, {38400, 70},
        {57600, 70}, {115200, 70}, {300, 240},  {0, 240},   {9601, 240},
    };
    for (const auto& [baud, timeout] : table) {
        conduit.SetLineSettings(baud, '8', 'N', '1');
        conduit.SelectTimeout();
        EXPECT_EQ(conduit.TimeoutMs(), timeout) << baud;
        conduit.Write("x");
        EXPECT_EQ(TimeoutsOf(port->timeouts), TimeoutsOf({0, 0, timeout, 0, timeout})) << baud;
    }

    conduit.SetTimeout(500);
    clock.ResetSlept();
    EXPECT_THROW(conduit.Transact("-VER\r\n"), KvConduitReadException);
    EXPECT_EQ(port->timeouts.readConstant, 500u);
    EXPECT_EQ(clock.Slept(), milliseconds(500));
}

TEST_F(SerialConduitTest, ReadLineReturnsOneLineWithItsEnding) {
    conduit.keepOpen = true;
    conduit.Open();

    port->answers = {"VER\r\n"};
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "VER\r\n");

    // CR CR LF: both CRs stay in the line.
    port->answers = {"AB\r\r\nNEXT\r\n"};
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "AB\r\r\n");
    // What followed the line stays pending for the next read.
    EXPECT_EQ(conduit.Read(), "NEXT\r\n");

    // A bare LF or a CR inside the line does not end it.
    port->answers = {"A\nB\rC\r\n"};
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "A\nB\rC\r\n");

    // Two bytes and silence: those two, no exception, one time-out spent.
    port->answers = {"OK"};
    clock.ResetSlept();
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "OK");
    EXPECT_EQ(clock.Slept(), milliseconds(70));

    // 300 bytes without a line end: 254 now, the rest on the next read.
    std::string longAnswer;
    for (int i = 0; i < 300; ++i) longAnswer += static_cast<char>('A' + i % 26);
    port->answers = {longAnswer};
    const KvString first = conduit.Transact("-VER\r\n");
    EXPECT_EQ(first.Bytes(), longAnswer.substr(0, 254));
    const KvString rest = conduit.Read();
    EXPECT_EQ(rest.Bytes(), longAnswer.substr(254));

    // A line end that falls exactly on the limit.
    std::string exact(252, 'x');
    port->answers = {exact + "\r\nY\r\n"};
    EXPECT_EQ(conduit.Transact("-VER\r\n").Bytes(), exact + "\r\n");
    EXPECT_EQ(conduit.Read(), "Y\r\n");

    // A NUL cuts the text; the rest of that line is read and dropped.
    port->answers = {std::string("AB\0CD\r\nEF\r\n", 11)};
    EXPECT_EQ(conduit.Transact("-VER\r\n"), "AB");
    EXPECT_EQ(port->pendingInput, "EF\r\n");
    EXPECT_EQ(conduit.Read(), "EF\r\n");

    conduit.Close();
    conduit.keepOpen = false;
}
