#pragma once
// Everything tarnik writes to a terminal, a pipe or a file goes out through
// these functions, and they apply DisplayText (Utf8Text.h) once, at the last
// moment: a version text that is not UTF-8, a port path, a value the user
// typed, a plan's cell. Texts are passed around as they came; nothing escapes
// them earlier, so nothing is escaped twice.
#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// One line: the text shown, then a line end.
void PrintLine(std::FILE* out, std::string_view line);
// Several lines separated by '\n': each shown, the line ends kept.
void PrintText(std::FILE* out, std::string_view text);

// JSON in which a string or key that is valid UTF-8 stands exactly as it came
// (the JSON writer escapes its backslashes and control characters, so a
// reader gets the very path or text back), and one that is not is shown as
// DisplayText makes it, so the writer never meets bytes it cannot take.
// `indent` as nlohmann's dump: -1 one line.
std::string JsonText(const nlohmann::ordered_json& value, int indent = -1);
// JsonText with an indent of 2, then a line end.
void PrintJson(std::FILE* out, const nlohmann::ordered_json& value);
