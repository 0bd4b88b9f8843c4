#include "Profile.h"

#include "Language.h"

std::string ReadProfile(const std::string& path, SettingValues& out) {
    std::string text;
    const std::string problem = ReadSmallFile(path, kProfileMaxBytes, "a profile is a small JSON file", text);
    if (!problem.empty()) return "--from: " + problem;
    const std::string parsed = ParseProfile(text, out);
    if (!parsed.empty()) return (path == "-" ? std::string(Tr("standard input")) : path) + ": " + parsed;
    return "";
}
