// KvDevice against the simulated module: what the program writes is what the
// module then reports, in the bank the scope names. Line-settings changes and
// initialisation against the module are tested with the workflows that make
// them (tests/device).
#include <gtest/gtest.h>

#include "DeviceFixture.h"
#include "KvExceptions.h"
#include "TarnikSim.h"

namespace {
using tarnik::sim::ModuleConfig;
using tarnik::sim::SimulatedPort;

class DeviceAgainstSim : public ::testing::Test {
protected:
    explicit DeviceAgainstSim(ModuleConfig config = {}) : sim("SIMTARNIK", config, clock) {
        AttachAt9600(device, "SIMTARNIK");
    }

    // A second program that knows nothing of what the first one cached.
    void ReadBackInto(KvDevice& reader) {
        AttachAt9600(reader, "SIMTARNIK");
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
    for (const Case c :
         {Case{0, 1, 100, 200, 10, 0, '1'}, Case{1, 2, 300, 400, 20, 1, '2'}, Case{2, 0, 9999, 65535, 75, 3, '1'}}) {
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
        EXPECT_EQ(BankText(device.running), BankText(wantRunning));
        EXPECT_EQ(BankText(device.stored), BankText(wantStored));

        KvDevice reader;
        ReadBackInto(reader);
        EXPECT_EQ(BankText(reader.running), BankText(wantRunning));
        EXPECT_EQ(BankText(reader.stored), BankText(wantStored));
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
    const std::string before = Banks(device);
    for (const int scope : {0, 1, 2}) {
        SCOPED_TRACE(scope);
        // Even a write that changes nothing is refused by this model.
        EXPECT_THROW(device.SetPinFunction(0, device.GetPinFunction(0, false), scope), KvNAKParameterException);
        EXPECT_THROW(device.SetPinFunction(1, '1', scope), KvNAKParameterException);
        EXPECT_EQ(Banks(device), before);
    }
    // Other writes still go through.
    device.SetAddress(42, 2);
    device.ReadAddress();
    EXPECT_EQ(device.GetAddress(false), 42);
}
