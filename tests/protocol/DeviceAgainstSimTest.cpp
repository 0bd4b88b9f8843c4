// KvDevice against the simulated module: what the program writes is what the
// module then reports, in the bank the scope names.
#include <gtest/gtest.h>

#include <chrono>

#include "DeviceFixture.h"
#include "KvExceptions.h"
#include "TarnikSim.h"

namespace {
using namespace std::chrono_literals;
using tarnik::sim::ModuleConfig;
using tarnik::sim::SimulatedPort;

KvSerialConduit* Attach(KvDevice& device, const char* portName, std::uint32_t baud, char data, char parity,
                        char stop) {
    auto* conduit = new KvSerialConduit();
    conduit->portName = portName;
    conduit->SetLineSettings(baud, data, parity, stop);
    conduit->SelectTimeout();
    device.conduit = conduit;
    return conduit;
}

class DeviceAgainstSim : public ::testing::Test {
protected:
    explicit DeviceAgainstSim(ModuleConfig config = {}) : sim("SIMTARNIK", config, clock) {
        Attach(device, "SIMTARNIK", 9600, '8', 'N', '1');
    }

    // A second program that knows nothing of what the first one cached.
    void ReadBackInto(KvDevice& reader) {
        Attach(reader, "SIMTARNIK", 9600, '8', 'N', '1');
        reader.ReadAll();
    }

    KvVirtualClock clock;
    SimulatedPort sim;
    KvDevice device;
};

class FixedPinModel : public DeviceAgainstSim {
protected:
    FixedPinModel() : DeviceAgainstSim(FixedPins()) {}
    static ModuleConfig FixedPins() {
        ModuleConfig config;
        config.fixedPins = true;
        return config;
    }
};
}  // namespace

TEST_F(DeviceAgainstSim, WriteThenReadBackInEachScope) {
    device.ReadAll();
    struct Case {
        int scope;
        std::uint32_t mode, address, partner, frequency;
        int pin;
        char function;
    };
    for (const Case c : {Case{0, 1, 100, 200, 10, 0, '1'}, Case{1, 2, 300, 400, 20, 1, '2'},
                         Case{2, 0, 9999, 65535, 75, 3, '1'}}) {
        SCOPED_TRACE(c.scope);
        SettingBank wantRunning = device.running;
        SettingBank wantStored = device.stored;
        for (SettingBank* bank : {&wantRunning, &wantStored}) {
            if ((bank == &wantRunning && c.scope == 1) || (bank == &wantStored && c.scope == 0)) continue;
            bank->mode = static_cast<std::uint8_t>(c.mode);
            bank->address = static_cast<std::uint16_t>(c.address);
            bank->partnerAddress = static_cast<std::uint16_t>(c.partner);
            bank->frequency = static_cast<std::uint8_t>(c.frequency);
            bank->pinFunctions[c.pin] = c.function;
        }

        device.SetMode(c.mode, c.scope);
        device.SetAddress(c.address, c.scope);
        device.SetPartnerAddress(c.partner, c.scope);
        device.SetFrequency(c.frequency, c.scope);
        device.SetPinFunction(c.pin, c.function, c.scope);
        EXPECT_TRUE(SameBank(device.running, wantRunning));
        EXPECT_TRUE(SameBank(device.stored, wantStored));

        KvDevice reader;
        ReadBackInto(reader);
        EXPECT_TRUE(SameBank(reader.running, wantRunning));
        EXPECT_TRUE(SameBank(reader.stored, wantStored));
        EXPECT_EQ(sim.module().Running().address, wantRunning.address);
        EXPECT_EQ(sim.module().Stored().address, wantStored.address);
    }
    // The module's own reports, read by the first program as well.
    device.ReadSerialNumber();
    EXPECT_EQ(device.serialNumber, 123456789u);
    EXPECT_STREQ(device.GetVersion().CStr(), "1.00.003");
}

TEST_F(FixedPinModel, PinFunctionWriteIsRejectedAndCachesNothing) {
    device.ReadPinFunctions();
    const SettingBank runningBefore = device.running;
    const SettingBank storedBefore = device.stored;
    for (const int scope : {0, 1, 2}) {
        SCOPED_TRACE(scope);
        // Even a write that changes nothing is refused by this model.
        EXPECT_THROW(device.SetPinFunction(0, device.GetPinFunction(0, false), scope), KvNAKParameterException);
        EXPECT_THROW(device.SetPinFunction(1, '1', scope), KvNAKParameterException);
        EXPECT_TRUE(SameBank(device.running, runningBefore));
        EXPECT_TRUE(SameBank(device.stored, storedBefore));
    }
    // Other writes still go through.
    device.SetAddress(42, 2);
    device.ReadAddress();
    EXPECT_EQ(device.GetAddress(false), 42);
}

TEST_F(DeviceAgainstSim, RoutedRequestToAModuleWithoutNeighbours) {
    auto* far = new KvDevice();
    far->parent = &device;
    far->serialNumber = 5;
    device.children.push_back(far);
    EXPECT_THROW(far->ReadMode(), KvNAKRouteException);
}

TEST_F(DeviceAgainstSim, SerialSettingsAnsweredAtOldSettingsHeardAtNew) {
    device.ReadSerialSettings();
    auto* conduit = static_cast<KvSerialConduit*>(device.conduit);

    // Stored only: the module keeps listening where it is.
    device.SetSerialSettings(4800, '7', 'O', '2', 1);
    device.ReadSerialSettings();
    EXPECT_EQ(device.GetBaudRate(false), 9600);
    EXPECT_EQ(device.GetBaudRate(true), 4800);
    EXPECT_EQ(device.GetParity(true), 'O');

    // Both: the answer still comes at 9600 8N1, the cache waits for a read.
    device.SetSerialSettings(19200, '8', 'E', '1', 2);
    EXPECT_EQ(device.GetBaudRate(false), 9600);
    EXPECT_EQ(device.GetBaudRate(true), 4800);

    // The module no longer hears the old settings.
    const auto ignoredBefore = sim.module().IgnoredBytes();
    EXPECT_THROW(device.ReadMode(), KvConduitReadException);
    EXPECT_GT(sim.module().IgnoredBytes(), ignoredBefore);

    conduit->SetLineSettings(19200, '8', 'E', '1');
    conduit->SelectTimeout();
    device.ReadSerialSettings();
    EXPECT_EQ(device.GetBaudRate(false), 19200);
    EXPECT_EQ(device.GetDataBits(false), '8');
    EXPECT_EQ(device.GetParity(false), 'E');
    EXPECT_EQ(device.GetStopBits(false), '1');
    EXPECT_EQ(device.GetBaudRate(true), 19200);
    device.ReadMode();  // and it goes on answering there
}

TEST_F(DeviceAgainstSim, InitializeThenReadFactorySettingsAtTheFactoryLine) {
    auto* conduit = static_cast<KvSerialConduit*>(device.conduit);
    device.SetSerialSettings(38400, '8', 'N', '2', 2);
    conduit->SetLineSettings(38400, '8', 'N', '2');
    conduit->SelectTimeout();
    device.SetAddress(1234, 2);

    device.Initialize();  // answered at 38400 8N2
    conduit->SetLineSettings(9600, '8', 'N', '1');
    conduit->SelectTimeout();
    clock.SleepFor(1200ms);  // the module's restart
    device.ReadAll();
    EXPECT_EQ(device.GetAddress(false), 0);
    EXPECT_EQ(device.GetAddress(true), 0);
    EXPECT_EQ(device.GetBaudRate(false), 9600);
    EXPECT_EQ(device.GetStopBits(true), '1');
}
