#include "EscapeForm.h"

#include "FormLists.h"
#include "ResourceIds.h"

namespace {

std::int32_t* Field(SerialSettings& settings, int listId) {
    switch (listId) {
    case IDC_BAUD_RATE: return &settings.baudRate;
    case IDC_DATA_BITS: return &settings.dataBits;
    case IDC_PARITY: return &settings.parity;
    case IDC_STOP_BITS: return &settings.stopBits;
    default: return nullptr;
    }
}

}  // namespace

int EscapeListSelection(const SerialSettings& settings, int listId) {
    SerialSettings copy = settings;
    const std::int32_t* field = Field(copy, listId);
    return field == nullptr ? -1 : FindItemByData(listId, *field);
}

void StoreEscapeSelection(SerialSettings& settings, int listId, int index) {
    std::int32_t* field = Field(settings, listId);
    if (field == nullptr) return;
    const int value = ItemData(listId, index);
    if (value >= 0) *field = value;
}
