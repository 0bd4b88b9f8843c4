#pragma once
// Profiles for `write --from`: the JSON object that `read --json` prints,
// read from a regular file or from standard input ("-").
//
// What is refused, each with a message that names the problem:
//   - a path that is no regular file (a FIFO, a device such as /dev/zero, a
//     directory): it is not even waited for;
//   - more than kProfileMaxBytes bytes;
//   - text that is not JSON (the message gives line and column, both from 1,
//     the column counted in bytes);
//   - a key given twice, an unknown key, a value that fails the checks of the
//     options, a "format" other than 1 (a profile without one is taken).
#include <string>

#include "Values.h"

constexpr std::size_t kProfileMaxBytes = 64 * 1024;

// "" when the profile was read and checked (the values are in `out`),
// otherwise the problem, ready to follow "tarnik: ".
std::string ReadProfile(const std::string& path, SettingValues& out);

// Reads a small file whole: a regular file (a FIFO or a device is refused
// without waiting for it) or standard input for "-", at most `limit` bytes.
// "" or the problem, which names the file; `what` says what the file should
// be ("a profile is a small JSON file") when it is too large.
std::string ReadSmallFile(const std::string& path, std::size_t limit, const char* what, std::string& text);

// The text of a profile, checked; "" or the problem (without the file's name).
std::string ParseProfile(const std::string& text, SettingValues& out);
