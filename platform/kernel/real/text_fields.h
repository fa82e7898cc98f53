// Small helpers the readers of system files share: fields of a line and
// whole decimal numbers.
#pragma once

#include <charconv>
#include <string_view>
#include <vector>

namespace kern::real {

// The fields of `line` between blanks and tabs.
inline std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > at) fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

// True when all of `text` is one number.
template <typename T>
bool ToNumber(std::string_view text, T* value) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && !text.empty();
}

}  // namespace kern::real
