#include "frontend/UnitSetting.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace norva {

int ReadComNumber(std::string_view text) {
    if (text.substr(0, 3) != "COM") {
        return 0;
    }
    const std::string rest(text.substr(3));
    const char* begin = rest.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        return 0;
    }
    return static_cast<int>(value);
}

flow::UnitLine LineOf(const UnitSetting& setting) {
    flow::UnitLine line;
    line.port = setting.port;
    line.baud = static_cast<uint32_t>(setting.baud);
    line.stopBits = static_cast<uint8_t>(setting.stopBits);
    line.parity = static_cast<uint8_t>(setting.parity);
    return line;
}

} // namespace norva
