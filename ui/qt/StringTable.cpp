#include "StringTable.h"

#include "Texts.h"

QString LoadKvString(int id) {
    const char* text = KvText(id);
    return text ? QString::fromUtf8(text) : QString();
}
