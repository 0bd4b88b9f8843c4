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

// The text of a profile, checked; "" or the problem (without the file's name).
std::string ParseProfile(const std::string& text, SettingValues& out);
