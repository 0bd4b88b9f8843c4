#pragma once
// A reader of GNU message catalogs (.mo files, as msgfmt writes them), for
// Windows, where the C library has no gettext: the translations of one
// language, looked up by their English text.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

class MoCatalog {
public:
    // Reads a catalog from its bytes; false (and an empty catalog) for bytes
    // that are no catalog or point outside themselves.
    bool Parse(std::string_view bytes);
    // Reads the catalog in `path`; false when it cannot be read or parsed.
    bool Load(const std::filesystem::path& path);

    // The translation of `msgid`; nullptr when the catalog has none.
    const char* Find(std::string_view msgid) const;
    std::size_t Size() const { return entries_.size(); }

private:
    std::map<std::string, std::string, std::less<>> entries_;
};
