#include "Output.h"

#include "Utf8Text.h"

namespace {

std::string JsonString(const std::string& text) { return IsValidUtf8(text) ? text : DisplayText(text); }

nlohmann::ordered_json Shown(const nlohmann::ordered_json& value) {
    if (value.is_string()) return JsonString(value.get_ref<const std::string&>());
    if (value.is_array()) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& item : value) list.push_back(Shown(item));
        return list;
    }
    if (value.is_object()) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const auto& [key, item] : value.items()) object[JsonString(key)] = Shown(item);
        return object;
    }
    return value;
}

}  // namespace

void PrintLine(std::FILE* out, std::string_view line) {
    std::fprintf(out, "%s\n", DisplayText(line).c_str());
    std::fflush(out);
}

void PrintText(std::FILE* out, std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::fputs(DisplayText(text.substr(0, end)).c_str(), out);
        if (end == std::string_view::npos) break;
        std::fputc('\n', out);
        text.remove_prefix(end + 1);
    }
    std::fflush(out);
}

std::string JsonText(const nlohmann::ordered_json& value, int indent) { return Shown(value).dump(indent); }

void PrintJson(std::FILE* out, const nlohmann::ordered_json& value) {
    std::fprintf(out, "%s\n", JsonText(value, 2).c_str());
    std::fflush(out);
}
