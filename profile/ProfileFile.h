#pragma once
// Profiles as files: read from a regular file (or standard input, "-") and
// checked, written so that a crash never leaves half of one.
//
// What is refused on reading, each with a message that names the problem:
//   - a path that is no regular file (a FIFO, a device such as /dev/zero, a
//     directory): it is not even waited for;
//   - more than kProfileMaxBytes bytes;
//   - text that is not JSON (the message gives line and column, both from 1,
//     the column counted in bytes);
//   - a key given twice, an unknown key, a value that fails the checks of the
//     options, a "format" other than 1 (a profile without one is taken).
//
// File names are UTF-8 on every system.
#include <cstddef>
#include <string>

#include "KvProfile.h"

constexpr std::size_t kProfileMaxBytes = 64 * 1024;

// Reads a small file whole: a regular file (a FIFO or a device is refused
// without waiting for it) or standard input for "-", at most `limit` bytes.
// "" or the problem, which names the file; `what` says what the file should
// be ("a profile is a small JSON file") when it is too large.
std::string ReadSmallFile(const std::string& path, std::size_t limit, const char* what, std::string& text);

// The text of a profile, checked; "" or the problem (without the file's name).
std::string ParseProfile(const std::string& text, SettingValues& out);

// Writes `text` as the file `path`: into "<path>.tmp" in the same folder,
// flushed to the disk, then renamed over `path`, replacing a file there.
// "" or the problem, which names the file; on failure `path` is as it was.
std::string WriteFileReplacing(const std::string& path, const std::string& text);
