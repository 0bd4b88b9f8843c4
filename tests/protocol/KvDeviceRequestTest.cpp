// What goes out on the line, and what the cache makes of an accepted write.
#include "DeviceFixture.h"
#include "KvExceptions.h"

namespace {
const char* const kAck = "*~\r\n";
}

TEST_F(DeviceOnScriptedPort, ScopeCharacterAndColonOnlyWithParameter) {
    Answer({kAck, kAck, kAck, kAck, kAck, kAck, kAck});
    device.SetMode(1, 1);
    device.SetAddress(9999, 2);
    device.SetFrequency(3, 0);
    device.SetPartnerAddress(12, 7);  // unknown scope: the running value
    device.SendCommand("MOD", "", 2);
    device.SendCommand("PAD", "", -1);
    device.Initialize();
    EXPECT_EQ(Sent(),
              (Lines{"@MOD:1\r\n", "+SAD:9999\r\n", "-FRQ:3\r\n", "-PAD:12\r\n", "+MOD\r\n", "-PAD\r\n", "-INI\r\n"}));
    // Per-call mode: every transaction opens and closes the port.
    EXPECT_EQ(port->openCount, 7);
    EXPECT_EQ(port->closeCount, 7);
    EXPECT_FALSE(port->isOpen);
}

TEST_F(DeviceOnScriptedPort, ReadAllQueriesInOrderAndFillsBothBanks) {
    Answer({"*VER: 1.00.003\r\n", "*MOD:0/1\r\n", "*SAD:9999/12\r\n", "*PAD:3/4\r\n", "*PAN:4660/300\r\n",
            "*FRQ:75/7\r\n", "*RTY:3/5\r\n", "*LED:1/0\r\n", "*SCI: 19200,8,E,1/9600,7,O,2\r\n", "*PFC:120/1\r\n"});
    device.ReadAll();
    EXPECT_EQ(Sent(), (Lines{"-VER\r\n", "-MOD\r\n", "-SAD\r\n", "-PAD\r\n", "-PAN\r\n", "-FRQ\r\n", "-RTY\r\n",
                             "-LED\r\n", "-SCI\r\n", "-PFC\r\n"}));

    EXPECT_STREQ(device.GetVersion().CStr(), "1.00.003");
    // An LED reads as on only when the first value is 1.
    EXPECT_EQ(GetterText(device, false),
              "mode 0 address 9999 pan 4660 frequency 75 retries 3 led 1 partner 3 line 19200,8,E,1 pins 0120");
    EXPECT_EQ(GetterText(device, true),
              "mode 1 address 12 pan 300 frequency 7 retries 5 led 1 partner 4 line 9600,7,O,2 pins 0001");
    EXPECT_EQ(device.serialNumber, 0u);  // not part of ReadAll

    Answer({"*MAN: 000012345\r\n"});
    device.ReadSerialNumber();
    EXPECT_EQ(Sent(), Lines{"-MAN\r\n"});
    EXPECT_EQ(device.serialNumber, 12345u);
}

TEST_F(DeviceOnScriptedPort, ReadAllStopsAtTheFirstFailure) {
    Answer({"*VER: 2.1\r\n", "*MOD:2/2\r\n", "*NAK:11\r\n"});
    EXPECT_THROW(device.ReadAll(), KvNAKResponseTimeoutException);
    EXPECT_EQ(Sent(), (Lines{"-VER\r\n", "-MOD\r\n", "-SAD\r\n"}));
    EXPECT_STREQ(device.GetVersion().CStr(), "2.1");
    EXPECT_EQ(device.GetMode(true), 2);
}

TEST_F(DeviceOnScriptedPort, WritesAreNarrowedAndCachedByScope) {
    struct Case {
        int scope;
        char character;
        bool running;
        bool stored;
    };
    for (const Case c :
         {Case{0, '-', true, false}, Case{1, '@', false, true}, Case{2, '+', true, true}, Case{7, '-', true, false}}) {
        SCOPED_TRACE(c.scope);
        Mark(device.running, 10);
        Mark(device.stored, 20);
        SettingBank expectRunning = device.running;
        SettingBank expectStored = device.stored;
        Answer({kAck, kAck, kAck, kAck});
        device.SetMode(256 + 7, c.scope);
        device.SetAddress(65536 + 5, c.scope);
        device.SetPartnerAddress(70000, c.scope);
        device.SetFrequency(0x1FF, c.scope);
        const std::string s(1, c.character);
        EXPECT_EQ(Sent(), (Lines{s + "MOD:7\r\n", s + "SAD:5\r\n", s + "PAD:4464\r\n", s + "FRQ:255\r\n"}));

        for (auto [wanted, bank] : {std::pair{c.running, &expectRunning}, std::pair{c.stored, &expectStored}}) {
            if (!wanted) continue;
            bank->mode = 7;
            bank->address = 5;
            bank->partnerAddress = 4464;
            bank->frequency = 255;
        }
        EXPECT_EQ(BankText(device.running), BankText(expectRunning));
        EXPECT_EQ(BankText(device.stored), BankText(expectStored));
    }
}

TEST_F(DeviceOnScriptedPort, SerialSettingsWriteTouchesNeitherCacheNorConduit) {
    Mark(device.running, 1);
    Mark(device.stored, 2);
    const std::string before = Banks(device);
    Answer({"*SCI: 9600,8,N,1\r\n", kAck, kAck});
    device.SetSerialSettings(19200, '8', 'E', '1', 2);
    device.SetSerialSettings(1200, '7', 'O', '2', 1);
    device.SetSerialSettings(57600, 0x100 + '8', 'N', '1', 0);  // each token is the low byte
    EXPECT_EQ(Sent(), (Lines{"+SCI:19200,8,E,1\r\n", "@SCI:1200,7,O,2\r\n", "-SCI:57600,8,N,1\r\n"}));
    EXPECT_EQ(Banks(device), before);
    EXPECT_EQ(port->line.baudRate, 9600u);  // the conduit still talks at its own settings
}

TEST_F(DeviceOnScriptedPort, PinFunctionWriteIsBuiltFromTheBankItChanges) {
    const int runningPins[4] = {'0', '1', '2', '0'};
    const auto reset = [&] {
        for (int pin = 0; pin < 4; ++pin) {
            device.running.pinFunctions[pin] = runningPins[pin];
            device.stored.pinFunctions[pin] = '0';
        }
    };

    reset();
    Answer({kAck, kAck});
    device.SetPinFunction(1, '2', 2);  // two requests, never "+"
    EXPECT_EQ(Sent(), (Lines{"@PFC:0200\r\n", "-PFC:0220\r\n"}));
    EXPECT_EQ(device.GetPinFunction(1, true), '2');
    EXPECT_EQ(device.GetPinFunction(1, false), '2');
    EXPECT_EQ(device.GetPinFunction(2, true), '0');

    reset();
    Answer({kAck});
    device.SetPinFunction(3, '5', 1);
    EXPECT_EQ(Sent(), Lines{"@PFC:0005\r\n"});
    EXPECT_EQ(device.GetPinFunction(3, true), '5');
    EXPECT_EQ(device.GetPinFunction(3, false), '0');

    for (const int scope : {0, 9}) {
        reset();
        Answer({kAck});
        device.SetPinFunction(0, '3', scope);
        EXPECT_EQ(Sent(), Lines{"-PFC:3120\r\n"});
        EXPECT_EQ(device.GetPinFunction(0, false), '3');
        EXPECT_EQ(device.GetPinFunction(0, true), '0');
    }

    // There is no fifth pin pair: nothing is sent and no bank is touched.
    reset();
    device.SetPinFunction(4, '7', 2);
    device.SetPinFunction(-1, '7', 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(device.GetPinFunction(4, false), 0);
    EXPECT_EQ(device.GetPinFunction(-1, true), 0);
    EXPECT_EQ(device.GetPinFunction(3, false), '0');
}

TEST_F(DeviceOnScriptedPort, RejectedOrLostTransactionLeavesTheCache) {
    Mark(device.running, 1);
    Mark(device.stored, 2);
    const std::string before = Banks(device);
    Answer({"*NAK:03\r\n", "", "OK\r", "*MOD 4\r\n", "*SAD:1/x\r\n", "*PFC:1111\r\n", "*LED:\r\n", "*NAK:12\r\n"});
    EXPECT_THROW(device.SetAddress(44, 2), KvNAKParameterException);
    EXPECT_THROW(device.SetMode(3, 2), KvConduitReadException);  // silence
    EXPECT_THROW(device.SetFrequency(9, 2), KvNoResponseException);
    EXPECT_THROW(device.ReadMode(), KvStringFormatException);
    EXPECT_THROW(device.ReadAddress(), KvStringFormatException);
    EXPECT_THROW(device.ReadPinFunctions(), KvStringFormatException);
    EXPECT_THROW(device.ReadLed(), KvStringFormatException);
    EXPECT_THROW(device.SetPartnerAddress(1, 1), KvNAKTargetBusyException);
    EXPECT_EQ(Banks(device), before);
    EXPECT_FALSE(port->isOpen);

    // A scope-2 pin write whose second request fails keeps the first one's effect.
    Sent();
    Answer({kAck, "*NAK:03\r\n"});
    EXPECT_THROW(device.SetPinFunction(2, '4', 2), KvNAKParameterException);
    EXPECT_EQ(Sent(), (Lines{"@PFC:9949\r\n", "-PFC:9949\r\n"}));
    EXPECT_EQ(device.GetPinFunction(2, true), '4');
    EXPECT_EQ(device.GetPinFunction(2, false), '9');
}

TEST(KvDeviceWithoutConduit, RequestFailsAsTransportError) {
    KvDevice device;
    EXPECT_THROW(device.ReadMode(), KvConduitException);
    EXPECT_THROW(device.SetAddress(3, 2), KvConduitException);
    EXPECT_EQ(device.GetAddress(false), 0);
    EXPECT_EQ(device.GetAddress(true), 0);
}
