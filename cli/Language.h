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

// `format` filled in like printf, as it stands.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    // Nothing to fill in: the text as it stands (and no format that is not a
    // literal handed to printf).
    if constexpr (sizeof...(Args) == 0) {
        return format;
    } else {
        const int size = std::snprintf(nullptr, 0, format, args...);
        if (size <= 0) return size == 0 ? std::string() : std::string(format);
        std::string text(static_cast<std::size_t>(size) + 1, '\0');
        std::snprintf(text.data(), text.size(), format, args...);
        text.resize(static_cast<std::size_t>(size));
        return text;
    }
}

// Tr(format) filled in like printf; the catalog keeps the conversions in order.
template <typename... Args>
std::string TrFormat(const char* format, Args... args) {
    return Format(Tr(format), args...);
}

// A message that is both recorded (a log record, JSON: English) and shown (in
// the chosen language). Its format is marked with N_ where it is written.
struct Said {
    std::string english;
    std::string shown;
    bool empty() const { return english.empty(); }
    Said& operator+=(const Said& more) {
        english += more.english;
        shown += more.shown;
        return *this;
    }
};

template <typename... Args>
Said Say(const char* format, Args... args) {
    return {Format(format, args...), TrFormat(format, args...)};
}

// Whether the locale variables ask for Japanese: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty starts with "ja". nullptr
// for a variable not set.
bool LocaleWantsJapanese(const char* lcAll, const char* lcMessages, const char* lang);
