#pragma once
// The language tarnik speaks: English, or Japanese when the locale asks for
// it. The English texts in the code are the keys of the catalog po/ja.po,
// built into share/locale/ja/LC_MESSAGES/tarnik.mo beside the program.
#include <cstdio>
#include <string>

// Marks a text for the catalog where it is defined; Tr translates it where it
// is shown.
#define N_(text) text

// Chooses the language from the environment and finds the catalog, relative to
// the program `argv0` names (or to /proc/self/exe). Call once, first thing.
void SetUpLanguage(const char* argv0);

// The text in the chosen language; `msgid` itself when there is no translation.
const char* Tr(const char* msgid);

// Tr(format) filled in like printf; the catalog keeps the conversions in order.
template <typename... Args>
std::string TrFormat(const char* format, Args... args) {
    const char* translated = Tr(format);
    const int size = std::snprintf(nullptr, 0, translated, args...);
    if (size <= 0) return size == 0 ? std::string() : std::string(translated);
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), translated, args...);
    text.resize(static_cast<std::size_t>(size));
    return text;
}

// Whether the locale variables ask for Japanese: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty starts with "ja". nullptr
// for a variable not set.
bool LocaleWantsJapanese(const char* lcAll, const char* lcMessages, const char* lang);
