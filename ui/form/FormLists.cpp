#include "FormLists.h"

#include <cstdio>
#include <iterator>
#include <map>

#include "KvDevice.h"
#include "SerialSettings.h"
#include "Texts.h"

namespace {

constexpr int kFirstChannelMHz = 2405;
constexpr int kLastChannelMHz = 2480;
constexpr int kPinValues[] = {'0', '1', '2'};

template <std::size_t N>
std::vector<CListItem> Items(int controlId, const std::int32_t (&values)[N]) {
    const std::vector<const char*> texts = KvListTexts(controlId);
    std::vector<CListItem> items;
    for (std::size_t i = 0; i < texts.size() && i < N; ++i) items.push_back({texts[i], values[i]});
    return items;
}

std::vector<CListItem> PinItems(int controlId) {
    const std::vector<const char*> texts = KvListTexts(controlId);
    std::vector<CListItem> items;
    for (std::size_t i = 0; i < texts.size() && i < std::size(kPinValues); ++i)
        items.push_back({texts[i], kPinValues[i]});
    return items;
}

std::vector<CListItem> FrequencyItems() {
    std::vector<CListItem> items;
    for (int mhz = kFirstChannelMHz; mhz <= kLastChannelMHz; ++mhz) {
        char text[16];
        std::snprintf(text, sizeof text, "%4d", mhz);
        items.push_back({text, mhz - kFirstChannelMHz});
    }
    return items;
}

const std::map<int, std::vector<CListItem>>& Tables() {
    static const std::map<int, std::vector<CListItem>> tables = {
        {IDC_BAUD_RATE, Items(IDC_BAUD_RATE, kUserBaudRates)},
        {IDC_DATA_BITS, Items(IDC_DATA_BITS, kUserDataBits)},
        {IDC_PARITY, Items(IDC_PARITY, kUserParities)},
        {IDC_STOP_BITS, Items(IDC_STOP_BITS, kUserStopBits)},
        {IDC_PIN_12, PinItems(IDC_PIN_12)},
        {IDC_PIN_34, PinItems(IDC_PIN_34)},
        {IDC_PIN_56, PinItems(IDC_PIN_56)},
        {IDC_PIN_78, PinItems(IDC_PIN_78)},
        {IDC_FREQUENCY, FrequencyItems()},
    };
    return tables;
}

}  // namespace

const std::vector<CListItem>& FormListItems(int controlId) {
    static const std::vector<CListItem> none;
    const auto& tables = Tables();
    const auto it = tables.find(controlId);
    return it == tables.end() ? none : it->second;
}

std::vector<std::string> FormListTexts(int controlId) {
    std::vector<std::string> texts;
    for (const CListItem& item : FormListItems(controlId)) texts.push_back(item.text);
    return texts;
}

int FindItemByData(int controlId, int value) {
    const std::vector<CListItem>& items = FormListItems(controlId);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].value == value) return static_cast<int>(i);
    }
    return -1;
}

int ItemData(int controlId, int index) {
    const std::vector<CListItem>& items = FormListItems(controlId);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return -1;
    return items[static_cast<std::size_t>(index)].value;
}

bool ParseAddressText(std::string_view text, int& address) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    int value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > KvDevice::kLastAddress) return false;  // beyond the range however long the rest is
    }
    address = value;
    return true;
}

std::string DescribeChanges(const DeviceSettings& from, const DeviceSettings& to, bool pinsFixed) {
    std::string line;
    // A value as its list shows it; a value no item carries as its number.
    auto shown = [](int listId, int value) {
        const int index = FindItemByData(listId, value);
        return index >= 0 ? FormListItems(listId)[static_cast<std::size_t>(index)].text : std::to_string(value);
    };
    auto change = [&line](const std::string& label, const std::string& before, const std::string& after,
                          const char* unit) {
        if (before == after) return;
        if (!line.empty()) line += "\n";
        line += label + "：" + before + " → " + after + unit;
    };
    change("アドレス", std::to_string(from.address), std::to_string(to.address), "");
    change("周波数", shown(IDC_FREQUENCY, from.frequencyIndex), shown(IDC_FREQUENCY, to.frequencyIndex), " MHz");
    change("通信速度", shown(IDC_BAUD_RATE, from.baudRate), shown(IDC_BAUD_RATE, to.baudRate), " bps");
    change("データ長", shown(IDC_DATA_BITS, from.dataBits), shown(IDC_DATA_BITS, to.dataBits), " ビット");
    change("パリティ", shown(IDC_PARITY, from.parity), shown(IDC_PARITY, to.parity), "");
    change("ストップビット", shown(IDC_STOP_BITS, from.stopBits), shown(IDC_STOP_BITS, to.stopBits), " ビット");
    if (!pinsFixed) {
        static const char* const kPairs[4] = {"I/O 1-2", "I/O 3-4", "I/O 5-6", "I/O 7-8"};
        for (int i = 0; i < 4; ++i) {
            change(kPairs[i], shown(kPinListIds[i], from.pinFunctions[i]), shown(kPinListIds[i], to.pinFunctions[i]),
                   "");
        }
    }
    return line.empty() ? "変更なし" : line;
}
