#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceSettings.h"
#include "ResourceIds.h"

// The item tables of the choice lists of the settings form (101) and the
// escape dialog (148): the text shown and the integer behind each item, in
// the order on screen. The window always exchanges the integers with the
// document, never the texts.

struct CListItem {
    std::string text;
    int value;
};

// Items of a list by its control number: IDC_BAUD_RATE (1200 ... 57600),
// IDC_DATA_BITS ('7', '8'), IDC_PARITY ('N' なし, 'E' 偶数, 'O' 奇数),
// IDC_STOP_BITS ('1', '2'), IDC_PIN_12 and IDC_PIN_34 ('0' デジタル入力,
// '1' デジタル出力, '2' アナログ入力), IDC_PIN_56 and IDC_PIN_78 (the first two),
// IDC_FREQUENCY ("2405" ... "2480", each carrying its own index). The escape
// dialog's lists carry the same numbers as the form's. Empty for any other
// control (the COM port list's items are the port names the front-end offers).
const std::vector<CListItem>& FormListItems(int controlId);

// Just the texts of FormListItems, for CFormView::SetListItems.
std::vector<std::string> FormListTexts(int controlId);

// Index of the first item whose integer equals value, or -1.
int FindItemByData(int controlId, int value);

// The integer behind the item at index; -1 for no selection (index -1) or an
// index outside the list.
int ItemData(int controlId, int index);

// The pin lists in pin-pair order: I/O 1-2, 3-4, 5-6, 7-8. Pair index i always
// means this order.
inline constexpr int kPinListIds[4] = {IDC_PIN_12, IDC_PIN_34, IDC_PIN_56, IDC_PIN_78};

// What a write of `to` changes against `from` (the module's running values),
// for the lines under the write's confirmation, a change a line ("アドレス：0 → 25",
// "周波数：2405 → 2410 MHz"; a line without spaces wraps nowhere under Wine),
// the values as the lists show them, the pins left out when the model's pins
// are fixed; "変更なし" when nothing differs.
std::string DescribeChanges(const DeviceSettings& from, const DeviceSettings& to, bool pinsFixed);

// Reads the address edit's text as the Set button does: leading blanks
// skipped, an unsigned decimal number up to the first non-digit, accepted when
// 0 to 9999. False when no digit comes first or the number is out of range.
bool ParseAddressText(std::string_view text, int& address);
