#include "Language.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

#ifdef _WIN32
#include <windows.h>

#include "MoCatalog.h"
#else
#include <libintl.h>
#endif

namespace {

// The locale directory: share/locale beside the program (a build tree, the
// Windows installation) or share/locale beside its bin/ (an installation).
std::filesystem::path LocaleDirectory(const std::filesystem::path& program) {
    const std::filesystem::path directory = program.parent_path();
    std::error_code error;
    if (std::filesystem::is_directory(directory / "share" / "locale", error)) return directory / "share" / "locale";
    return directory.parent_path() / "share" / "locale";
}

#ifdef _WIN32

MoCatalog catalog;
bool japanese = false;

std::filesystem::path ProgramPath() {
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return std::filesystem::path(std::wstring(buffer, length));
}

bool WantsJapanese() {
    const char* lcAll = std::getenv("LC_ALL");
    const char* lcMessages = std::getenv("LC_MESSAGES");
    const char* lang = std::getenv("LANG");
    const auto set = [](const char* value) { return value && *value; };
    // A locale variable set by the user speaks first, then the user's UI language.
    if (set(lcAll) || set(lcMessages) || set(lang)) return LocaleWantsJapanese(lcAll, lcMessages, lang);
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

#else

constexpr const char* kDomain = "tarnik";

std::filesystem::path ProgramPath(const char* argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self;
    return argv0 ? std::filesystem::absolute(argv0, error) : std::filesystem::path();
}

#endif

}  // namespace

bool LocaleWantsJapanese(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) return std::strncmp(value, "ja", 2) == 0;
    }
    return false;
}

#ifdef _WIN32

void SetUpLanguage(const char*) {
    japanese = WantsJapanese();
    if (japanese) catalog.Load(LocaleDirectory(ProgramPath()) / "ja" / "LC_MESSAGES" / "tarnik.mo");
}

const char* Tr(const char* msgid) {
    const char* translated = japanese && msgid && *msgid ? catalog.Find(msgid) : nullptr;
    return translated ? translated : msgid;
}

#else

void SetUpLanguage(const char* argv0) {
    // Only the messages follow the locale: numbers and character classes stay
    // as the C library starts them, so that no output changes its format.
    std::setlocale(LC_MESSAGES, "");
    const std::string directory = LocaleDirectory(ProgramPath(argv0)).string();
    bindtextdomain(kDomain, directory.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    // The system's own reasons (strerror) in the same language; with the C
    // library's character set left as "C" they would come as question marks.
    bind_textdomain_codeset("libc", "UTF-8");
}

const char* Tr(const char* msgid) { return msgid && *msgid ? dgettext(kDomain, msgid) : msgid; }

#endif
