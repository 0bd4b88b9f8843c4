#pragma once
// Checking a write: what the module reads back against what was written, in
// both its banks, and that it is still the module that was written to.
#include <cstdint>
#include <string>
#include <vector>

#include "DeviceSettings.h"
#include "KvDevice.h"

struct CommandContext;

// The fields of `intended` that `readBack` does not show, by the names a
// profile uses: "address", "channel", "baudRate", "dataBits", "parity",
// "stopBits", "pins". The pin functions are left out when the model's are
// fixed (nothing was sent for them). Empty when everything took.
std::vector<std::string> FieldsNotTaken(const DeviceSettings& intended, const DeviceSettings& readBack, bool pinsFixed);

// One bank of the module's cache as a settings record.
DeviceSettings RecordOf(const SettingBank& bank);

// The fields of `intended` that either bank does not hold: the running bank's
// by their names, the stored bank's as "address (stored)"; a module that took a
// write into one bank only is not set.
std::vector<std::string> BanksNotTaken(const DeviceSettings& intended, const KvDevice& device, bool pinsFixed);

// "address, pins": the names joined for a message.
std::string JoinFieldNames(const std::vector<std::string>& names);

struct ReadBack {
    enum class Outcome {
        Compared,     // read; `notTaken` names what differs
        Failed,       // the read failed: the workflow reported why, the document dropped the device
        OtherModule,  // the module on the port answers with another serial number
    };
    Outcome outcome = Outcome::Failed;
    std::uint32_t serialNumber = 0;     // what the module on the port answered with
    std::vector<std::string> notTaken;  // Compared: empty when everything took
};

// After a write: runs the read workflow on the document's device, asks the
// serial number again (a module swapped in on a bench reads back as well as
// any), pulls the values into the document's record (as the settings window
// does) and compares both banks with `intended`.
ReadBack ReadBackAndCompare(CommandContext& ctx, const DeviceSettings& intended, std::uint32_t serialNumber);
