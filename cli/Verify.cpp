#include "Verify.h"

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

std::string JoinFieldNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

bool ReadBackAndCompare(CVelmoraDoc& doc, const DeviceSettings& intended, std::vector<std::string>& notTaken) {
    notTaken.clear();
    doc.ReadSettings();
    if (!doc.HasDevice()) return false;
    // The getters answer from the cache the read has just filled and copy
    // each value into the record.
    doc.GetAddress();
    doc.GetFrequencyIndex();
    doc.GetBaudRate();
    doc.GetDataBits();
    doc.GetParity();
    doc.GetStopBits();
    for (int i = 0; i < 4; ++i) doc.GetPinFunction(i);
    notTaken = FieldsNotTaken(intended, doc.settings, doc.pinFunctionsFixed);
    return true;
}
