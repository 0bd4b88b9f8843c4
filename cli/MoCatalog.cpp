#include "MoCatalog.h"

#include <cstdint>
#include <fstream>
#include <iterator>

namespace {

constexpr std::uint32_t kMagic = 0x950412deU;
constexpr std::uint32_t kMagicSwapped = 0xde120495U;

struct Reader {
    std::string_view bytes;
    bool swapped = false;

    bool Word(std::size_t offset, std::uint32_t& value) const {
        if (offset > bytes.size() || bytes.size() - offset < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
        value = swapped ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3])
                        : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]);
        return true;
    }

    // The string a (length, offset) pair of a table points to.
    bool String(std::size_t tableEntry, std::string_view& text) const {
        std::uint32_t length = 0, offset = 0;
        if (!Word(tableEntry, length) || !Word(tableEntry + 4, offset)) return false;
        if (offset > bytes.size() || bytes.size() - offset < length) return false;
        text = bytes.substr(offset, length);
        return true;
    }
};

}  // namespace

bool MoCatalog::Parse(std::string_view bytes) {
    entries_.clear();
    Reader reader{bytes};
    std::uint32_t magic = 0, count = 0, originals = 0, translations = 0;
    if (!reader.Word(0, magic)) return false;
    if (magic == kMagicSwapped) {
        reader.swapped = true;
    } else if (magic != kMagic) {
        return false;
    }
    if (!reader.Word(8, count) || !reader.Word(12, originals) || !reader.Word(16, translations)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string_view msgid, msgstr;
        if (!reader.String(originals + std::size_t{i} * 8, msgid) ||
            !reader.String(translations + std::size_t{i} * 8, msgstr)) {
            entries_.clear();
            return false;
        }
        // The header (empty msgid) and untranslated entries say nothing.
        if (msgid.empty() || msgstr.empty()) continue;
        entries_.emplace(std::string(msgid), std::string(msgstr));
    }
    return true;
}

bool MoCatalog::Load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        entries_.clear();
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Parse(bytes);
}

const char* MoCatalog::Find(std::string_view msgid) const {
    const auto it = entries_.find(msgid);
    return it == entries_.end() ? nullptr : it->second.c_str();
}
