#pragma once
// Profiles for `write --from`: the JSON object that `read --json` prints,
// read from a regular file or from standard input ("-"); what is refused is
// listed in ProfileFile.h (the reading and the checks the desktop programs
// share).
#include <string>

#include "ProfileFile.h"
#include "Values.h"

// "" when the profile was read and checked (the values are in `out`),
// otherwise the problem, ready to follow "tarnik: ".
std::string ReadProfile(const std::string& path, SettingValues& out);
