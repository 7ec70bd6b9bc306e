#include "sim/Text.h"

#include <cerrno>
#include <system_error>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace norva::sim {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool ParseInt(std::string_view text, int lo, int hi, int* value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) {
        return false;
    }
    *value = v;
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(sep, start);
        parts.push_back(text.substr(start, pos == std::string_view::npos ? pos : pos - start));
        if (pos == std::string_view::npos) {
            return parts;
        }
        start = pos + 1;
    }
}

bool IsAddress(std::string_view text) {
    return text.size() == 12 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

bool SameAddress(std::string_view a, std::string_view b) {
    return IsAddress(a) && IsAddress(b) && Upper(a) == Upper(b);
}

std::string ErrnoText() {
    return std::error_code(errno, std::generic_category()).message();
}

} // namespace norva::sim
