#include "ProfileFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

enum class Got { Text, Missing, NotRegular, TooLarge };

// At most `limit` + 1 bytes: one more than allowed shows the file is too large.
Got ReadLimited(std::FILE* stream, std::size_t limit, std::string& text) {
    char chunk[4096];
    while (text.size() <= limit) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, stream);
        if (got == 0) break;
        text.append(chunk, got);
    }
    return text.size() > limit ? Got::TooLarge : Got::Text;
}

Got ReadFileLimited(const std::string& path, std::size_t limit, std::string& text) {
#ifdef _WIN32
    std::error_code error;
    // The program's strings are UTF-8; the path's own conversion would take the ANSI code page.
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    const auto status = std::filesystem::status(name, error);
    if (error || !std::filesystem::exists(status)) return Got::Missing;
    if (!std::filesystem::is_regular_file(status)) return Got::NotRegular;
    // Opened by its wide name: velmora.exe runs in the ANSI code page.
    std::FILE* file = _wfopen(name.c_str(), L"rb");
    if (!file) return Got::Missing;
    const Got got = ReadLimited(file, limit, text);
    std::fclose(file);
    return got;
#else
    // Without O_NONBLOCK a FIFO nobody writes to would block the open for ever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Got::Missing;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return Got::NotRegular;
    }
    char chunk[4096];
    while (text.size() <= limit) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    return text.size() > limit ? Got::TooLarge : Got::Text;
#endif
}

// "line L, column C" of the byte at 1-based position `position`.
std::string Where(const std::string& text, std::size_t position) {
    const std::size_t end = position == 0 ? 0 : std::min(position - 1, text.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(end - lineStart + 1);
}

// The parser's own account of what is wrong, without its prefix and position.
std::string Reason(const std::string& what) {
    const std::size_t at = what.find("syntax error");
    if (at != std::string::npos) return what.substr(at);
    return "not valid JSON";
}

}  // namespace

std::string ParseProfile(const std::string& text, SettingValues& out) {
    // Keys already seen, one set per open object.
    std::vector<std::set<std::string>> seen;
    std::string duplicate;
    auto watch = [&](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if (event == Event::object_start) {
            seen.emplace_back();
        } else if (event == Event::object_end) {
            if (!seen.empty()) seen.pop_back();
        } else if (event == Event::key && !seen.empty() && parsed.is_string()) {
            if (!seen.back().insert(parsed.get<std::string>()).second && duplicate.empty()) {
                duplicate = parsed.get<std::string>();
            }
        }
        return true;
    };
    nlohmann::json profile;
    try {
        profile = nlohmann::json::parse(text, watch);
    } catch (const nlohmann::json::parse_error& error) {
        return Where(text, error.byte) + ": " + Reason(error.what());
    }
    if (!duplicate.empty()) return duplicate + ": given twice";
    return ProfileValues(profile, out);
}

std::string ReadSmallFile(const std::string& path, std::size_t limit, const char* what, std::string& text) {
    text.clear();
    const Got got = path == "-" ? ReadLimited(stdin, limit, text) : ReadFileLimited(path, limit, text);
    const std::string name = path == "-" ? std::string("standard input") : path;
    switch (got) {
    case Got::Missing: return "cannot read " + name;
    case Got::NotRegular: return name + " is not a regular file";
    case Got::TooLarge: return name + " is larger than " + std::to_string(limit / 1024) + " KiB; " + what;
    case Got::Text: break;
    }
    return "";
}

#ifndef _WIN32
namespace {

// The reason of a failed system call, in the system's words.
std::string SystemReason(int error) { return std::generic_category().message(error); }

}  // namespace
#endif

std::string WriteFileReplacing(const std::string& path, const std::string& text) {
    // The program's strings are UTF-8 on every system.
    const std::filesystem::path target(std::u8string(path.begin(), path.end()));
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    std::error_code ignored;
#ifdef _WIN32
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot write " + path + ": cannot create a file in its folder";
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temporary, ignored);
            return "cannot write " + path;
        }
    }
#else
    // O_EXCL: a temporary file left by a crashed run, or a link placed there,
    // is not written through.
    std::filesystem::remove(temporary, ignored);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return "cannot write " + path + ": " + SystemReason(errno);
    std::size_t written = 0;
    int error = 0;
    while (written < text.size()) {
        const ssize_t got = write(fd, text.data() + written, text.size() - written);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
            break;
        }
        written += static_cast<std::size_t>(got);
    }
    // On the disk before it takes the old file's place: a crash leaves the old
    // profile or the new one, never half of one.
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        std::filesystem::remove(temporary, ignored);
        return "cannot write " + path + ": " + SystemReason(error);
    }
#endif
    // Replaces an existing file in one step (on Windows too: the library's
    // rename there is a move that replaces the target).
    std::error_code renamed;
    std::filesystem::rename(temporary, target, renamed);
    if (renamed) {
        std::filesystem::remove(temporary, ignored);
        return "cannot write " + path + ": " + renamed.message();
    }
    return "";
}
