#include "Utf8Text.h"

#include <cstdint>

namespace {

// Length of the well-formed UTF-8 character at `i`, 0 when there is none.
std::size_t CharacterLength(std::string_view bytes, std::size_t i, std::uint32_t& codePoint) {
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    const std::uint8_t lead = at(i);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t next = at(i + k);
        if ((next & 0xC0u) != 0x80u) return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

bool IsControl(std::uint32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

void AppendHex(std::string& out, std::uint8_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

}  // namespace

std::string DisplayText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = CharacterLength(bytes, i, codePoint);
        if (length == 0) {
            AppendHex(out, static_cast<std::uint8_t>(bytes[i]));
            ++i;
            continue;
        }
        if (IsControl(codePoint)) {
            for (std::size_t k = 0; k < length; ++k) AppendHex(out, static_cast<std::uint8_t>(bytes[i + k]));
        } else if (codePoint == '\\') {
            out += "\\\\";
        } else {
            out.append(bytes.substr(i, length));
        }
        i += length;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = CharacterLength(bytes, i, codePoint);
        if (length == 0) return false;
        i += length;
    }
    return true;
}
