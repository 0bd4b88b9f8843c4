#include "Verify.h"

#include "Commands.h"

std::vector<std::string> FieldsNotTaken(const DeviceSettings& intended, const DeviceSettings& readBack,
                                        bool pinsFixed) {
    std::vector<std::string> names;
    auto check = [&names](bool same, const char* name) {
        if (!same) names.emplace_back(name);
    };
    check(intended.address == readBack.address, "address");
    check(intended.frequencyIndex == readBack.frequencyIndex, "channel");
    check(intended.baudRate == readBack.baudRate, "baudRate");
    check(intended.dataBits == readBack.dataBits, "dataBits");
    check(intended.parity == readBack.parity, "parity");
    check(intended.stopBits == readBack.stopBits, "stopBits");
    if (!pinsFixed) {
        bool same = true;
        for (int i = 0; i < 4; ++i) same = same && intended.pinFunctions[i] == readBack.pinFunctions[i];
        check(same, "pins");
    }
    return names;
}

DeviceSettings RecordOf(const SettingBank& bank) {
    DeviceSettings record;
    record.address = bank.address;
    record.frequencyIndex = bank.frequency;
    record.baudRate = bank.baudRate;
    record.dataBits = bank.dataBits;
    record.parity = bank.parity;
    record.stopBits = bank.stopBits;
    for (int i = 0; i < 4; ++i) record.pinFunctions[i] = bank.pinFunctions[i];
    return record;
}

std::vector<std::string> BanksNotTaken(const DeviceSettings& intended, const KvDevice& device, bool pinsFixed) {
    std::vector<std::string> names = FieldsNotTaken(intended, RecordOf(device.running), pinsFixed);
    for (const std::string& name : FieldsNotTaken(intended, RecordOf(device.stored), pinsFixed)) {
        names.push_back(name + " (stored)");
    }
    return names;
}

std::string JoinFieldNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

ReadBack ReadBackAndCompare(CommandContext& ctx, const DeviceSettings& intended, std::uint32_t serialNumber) {
    ReadBack result;
    CVelmoraDoc& doc = ctx.doc;
    doc.ReadSettings();
    if (!doc.HasDevice() || ctx.host.FirstFailure() != 0) return result;
    if (QuerySerialNumber(ctx, result.serialNumber) != kExitOk) return result;
    if (result.serialNumber != serialNumber) {
        result.outcome = ReadBack::Outcome::OtherModule;
        return result;
    }
    // The getters copy each value into the record, as a refresh of the
    // settings window does, so a following write sends what was read.
    CachedReport(doc);
    result.outcome = ReadBack::Outcome::Compared;
    result.notTaken = BanksNotTaken(intended, *doc.device, doc.pinFunctionsFixed);
    return result;
}
