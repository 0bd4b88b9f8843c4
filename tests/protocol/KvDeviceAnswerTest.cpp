// How answer lines are judged and parsed into the cache.
#include <tuple>

#include "DeviceFixture.h"
#include "KvExceptions.h"

TEST_F(DeviceOnScriptedPort, RejectionCodeSelectsTheClassAndCarriesTheLine) {
    const struct {
        const char* answer;
        const char* described;
    } cases[] = {
        {"*NAK:01\r\n", "KvNAKCommandException:"},
        {"*NAK:02\r\n", "KvNAKRouteException:"},
        {"*NAK:03\r\n", "KvNAKParameterException:"},
        {"*NAK:04\r\n", "KvNAKInforomException:"},
        {"*NAK:05\r\n", "KvNAKByteTimeoutException:"},
        {"*NAK:10\r\n", "KvNAKRetryFailedException:"},
        {"*NAK:11\r\n", "KvNAKResponseTimeoutException:"},
        {"*NAK:12\r\n", "KvNAKTargetBusyException:"},
        {"*NAK:13\r\n", "KvNAKDuplicatePacketException:"},
        {"*NAK:00\r\n", "KvNAKException:"},
        {"*NAK:07\r\n", "KvNAKException:"},
        {"*NAK:14\r\n", "KvNAKException:"},
        {"xNAKx-3\r\n", "KvNAKException:"},                    // negative code
        {"#NAK: 3 trailing\r\n", "KvNAKParameterException:"},  // blank before the digit
        {"*NAK:3\r\n", "KvNAKParameterException:"},            // one digit and CR
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Answer({c.answer});
        try {
            device.SendCommand("MOD", "", 0);
            ADD_FAILURE() << "accepted a rejection";
        } catch (const KvNAKException& rejection) {
            EXPECT_STREQ(rejection.message.CStr(), c.answer);
            EXPECT_EQ(std::string(rejection.Describe().CStr()), std::string(c.described) + c.answer);
        }
    }
}

TEST_F(DeviceOnScriptedPort, RejectionWithoutANumberIsAFormatFailure) {
    for (const char* answer : {"*NAK\r\n", "*NAK:xx\r\n", "*NAK"}) {
        SCOPED_TRACE(answer);
        Answer({answer});
        EXPECT_THROW(device.SendCommand("SAD", "1", 2), KvStringFormatException);
    }
}

TEST_F(DeviceOnScriptedPort, ShortAnswersAndWhereNakCounts) {
    // Fewer than four characters: no answer at all.
    for (const char* answer : {"\r\n", "OK\r", "A"}) {
        SCOPED_TRACE(answer);
        Answer({answer});
        EXPECT_THROW(device.SendCommand("MOD", "", 0), KvNoResponseException);
    }
    // Nothing at all: the conduit's own failure passes unchanged.
    Answer({""});
    EXPECT_THROW(device.SendCommand("MOD", "", 0), KvConduitReadException);

    // Exactly four characters, and "NAK" anywhere but at index 1, are acceptances.
    for (const char* answer : {"OK\r\n", "NAK:03\r\n", "**NAK:03\r\n", "*nak:03\r\n"}) {
        SCOPED_TRACE(answer);
        Answer({answer});
        EXPECT_STREQ(device.SendCommand("MOD", "", 0).CStr(), answer);
    }
    // A line cut off without CR LF is handed back as it came.
    const std::string overlong(300, 'Q');
    Answer({overlong.c_str()});
    EXPECT_EQ(std::string(device.SendCommand("VER", "", 0).CStr()), overlong.substr(0, 254));
}

TEST_F(DeviceOnScriptedPort, ValuePairsLedAndPinDigits) {
    Answer(
        {"*MOD:0/1\r\n", "*LED:2/1\r\n", "*LED:1/0\r\n", "*PFC:120/1\r\n", "*PFC:2345/8765\r\n", "*RTY:  9/255\r\n"});
    device.ReadMode();
    EXPECT_EQ(device.GetMode(false), 0);
    EXPECT_EQ(device.GetMode(true), 1);

    device.ReadLed();  // only a first integer of exactly 1 means on
    EXPECT_EQ(device.running.led, 0);
    EXPECT_EQ(device.stored.led, 0);
    device.ReadLed();
    EXPECT_EQ(device.running.led, 1);
    EXPECT_EQ(device.stored.led, 1);

    const auto pins = [this](bool stored) {
        std::string text;
        for (int pin = 0; pin < 4; ++pin) text += static_cast<char>(device.GetPinFunction(pin, stored));
        return text;
    };
    device.ReadPinFunctions();
    EXPECT_EQ(pins(false), "0120");
    EXPECT_EQ(pins(true), "0001");
    device.ReadPinFunctions();
    EXPECT_EQ(pins(false), "2345");
    EXPECT_EQ(pins(true), "8765");

    device.ReadRetryCount();
    EXPECT_EQ(device.running.retryCount, 9);
    EXPECT_EQ(device.stored.retryCount, 255);
}

TEST_F(DeviceOnScriptedPort, VersionAndSerialNumberText) {
    Answer({"*VER: 1.00.003\r\n", "*VER:\r\n", "*VER: \r\n", "*MAN:1123456789\r\n", "*MAN: 999999999\r\n",
            "*MAN: ABC\r\n"});
    device.ReadVersion();
    EXPECT_STREQ(device.GetVersion().CStr(), "1.00.003");
    device.ReadVersion();  // seven characters: nothing between the six and the CR LF
    EXPECT_STREQ(device.GetVersion().CStr(), "");
    device.version = "old";
    device.ReadVersion();  // exactly eight
    EXPECT_STREQ(device.GetVersion().CStr(), "");

    device.ReadSerialNumber();  // the number begins at index 6, whatever stands at 5
    EXPECT_EQ(device.serialNumber, 123456789u);
    device.ReadSerialNumber();  // the largest of nine digits
    EXPECT_EQ(device.serialNumber, 999999999u);
    EXPECT_THROW(device.ReadSerialNumber(), KvStringFormatException);
    EXPECT_EQ(device.serialNumber, 999999999u);
}

TEST_F(DeviceOnScriptedPort, SerialSettingsHalves) {
    const auto banks = [this] { return LineText(device.running) + "/" + LineText(device.stored); };
    Answer({"*SCI:19600,8,N,1/19200,7,E,2\r\n"});  // the data begins at index 6, whatever stands at 5
    device.ReadSerialSettings();
    EXPECT_EQ(banks(), "9600,8,N,1/19200,7,E,2");

    Answer({"*SCI: 57600,7,O,2\r\n"});  // no "/": one text for both banks
    device.ReadSerialSettings();
    EXPECT_EQ(banks(), "57600,7,O,2/57600,7,O,2");

    // A bad stored half: the running half has already gone into the cache. A
    // stored half too short for its three characters is malformed, not read past its end.
    for (const auto& [answer, named, after] :
         {std::tuple{"*SCI: 4800,8,E,1/fast,8,N,1\r\n", "fast", "4800,8,E,1/57600,7,O,2"},
          std::tuple{"*SCI: 2400,8,N,2/9600,8\r\n", "9600,8\r\n", "2400,8,N,2/57600,7,O,2"}}) {
        SCOPED_TRACE(answer);
        Answer({answer});
        try {
            device.ReadSerialSettings();
            ADD_FAILURE() << "accepted a malformed stored half";
        } catch (const KvStringFormatException& e) {
            EXPECT_STREQ(e.message.CStr(), named);
        }
        EXPECT_EQ(banks(), after);
    }

    // A bad running half changes neither bank.
    for (const char* answer :
         {"*SCI: 1200,8/9600,8,N,1\r\n", "*SCI: 1200/9600,8,N,1\r\n", "*SCI\r\n", "*SCI: x,8,N,1/9600,8,N,1\r\n"}) {
        SCOPED_TRACE(answer);
        Answer({answer});
        EXPECT_THROW(device.ReadSerialSettings(), KvStringFormatException);
        EXPECT_EQ(banks(), "2400,8,N,2/57600,7,O,2");
    }

    // The shortest full half, its stop bit right before the CR LF.
    Answer({"*SCI: 1200,7,E,2/2400,8,O,1\r\n"});
    device.ReadSerialSettings();
    EXPECT_EQ(banks(), "1200,7,E,2/2400,8,O,1");
}

// What the protocol does not allow is refused before anything is read from
// it: the module is not where the program thinks it is, or its value would
// only fit the cache cut down to a setting nobody gave it.
TEST_F(DeviceOnScriptedPort, AnswersTheProtocolDoesNotAllowLeaveTheCache) {
    Mark(device.running, 1);
    Mark(device.stored, 2);
    device.serialNumber = 7;
    const std::string before = Banks(device);
    const struct {
        void (KvDevice::*read)();
        const char* answer;
    } cases[] = {
        {&KvDevice::ReadAddress, "*PAN: 77/77\r\n"},        // another command's answer
        {&KvDevice::ReadAddress, "*SAD: 77/77"},            // cut off before CR LF
        {&KvDevice::ReadAddress, "*SAD: 77/77\n"},          // LF alone
        {&KvDevice::ReadVersion, "*VER: 1.00.003\r"},       // CR alone
        {&KvDevice::ReadAddress, "*SAD: 70000/70000\r\n"},  // wider than an address
        {&KvDevice::ReadAddress, "*SAD: -1/0\r\n"},
        {&KvDevice::ReadFrequency, "*FRQ: 10/266\r\n"},
        {&KvDevice::ReadMode, "*MOD: 257/0\r\n"},
        {&KvDevice::ReadRetryCount, "*RTY: 9/-1\r\n"},
        {&KvDevice::ReadPinFunctions, "*PFC: 12345/0\r\n"},  // five digits
        {&KvDevice::ReadSerialNumber, "*MAN: 1000000000\r\n"},
        {&KvDevice::ReadSerialNumber, "*MAN: -1\r\n"},
        {&KvDevice::ReadSerialNumber, "*SAD: 000012345\r\n"},
        {&KvDevice::ReadSerialSettings, "*MAN: 9600,8,N,1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Answer({c.answer});
        EXPECT_THROW((device.*c.read)(), KvAnswerException);
        EXPECT_EQ(Banks(device), before);
        EXPECT_EQ(device.serialNumber, 7u);
    }
    // A write answered by another command is no acceptance either.
    Answer({"*FRQ: 5/5\r\n"});
    EXPECT_THROW(device.SetAddress(5, 2), KvAnswerException);
    EXPECT_EQ(Banks(device), before);
}
