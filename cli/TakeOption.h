#pragma once
// A value option of a subcommand, checked by its parser before anything is sent.
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

// "" when the option is absent or valid (the value stored into `field`), else
// "NAME: problem".
template <typename T, typename Parser>
std::string TakeOption(CLI::App* command, const char* name, const std::string& text, std::optional<T>& field,
                       Parser parse) {
    if (command->count(name) == 0) return "";
    T value{};
    const std::string problem = parse(text, value);
    if (!problem.empty()) return std::string(name) + ": " + problem;
    field = value;
    return "";
}
