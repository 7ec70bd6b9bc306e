#include "tools/CliValues.h"

#include "module/Catalogue.h"
#include "platform/ComMap.h"
#include "platform/SerialDevice.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace norva::tools {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool ParseInt(const std::string& text, long min, long max, long& out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

std::string Bad(const std::string& text, const std::string& expected) {
    return "bad value '" + text + "': expected " + expected;
}

int ParityCode(const std::string& text) {
    const std::string t = Lower(text);
    if (t == "none" || t == "n") {
        return kNoParity;
    }
    if (t == "even" || t == "e") {
        return kEvenParity;
    }
    if (t == "odd" || t == "o") {
        return kOddParity;
    }
    return -1;
}

} // namespace

ValueRule IntIn(long min, long max, const char* what) {
    const std::string expected =
        std::string(what) + " " + std::to_string(min) + ".." + std::to_string(max);
    return [=](std::string& text) {
        long v = 0;
        return ParseInt(text, min, max, v) ? std::string() : Bad(text, expected);
    };
}

ValueRule ParityName() {
    return [](std::string& text) {
        const int code = ParityCode(text);
        if (code < 0) {
            return Bad(text, "none, even or odd");
        }
        text = std::to_string(code);
        return std::string();
    };
}

ValueRule ModuleParityName() {
    return [](std::string& text) {
        const int code = ParityCode(text);
        if (code < 0) {
            return Bad(text, "none or even");
        }
        if (!catalogue::IsModuleParity(code)) {
            return std::string(kOddParityRefused);
        }
        text = std::to_string(code);
        return std::string();
    };
}

ValueRule StopBits() {
    return [](std::string& text) {
        if (text != "1" && text != "2") {
            return Bad(text, "1 or 2");
        }
        text = std::to_string(text == "1" ? kOneStopBit : kTwoStopBits);
        return std::string();
    };
}

ValueRule ModuleBaud() {
    return [](std::string& text) {
        long v = 0;
        if (!ParseInt(text, 1, 4000000, v) || !catalogue::IsModuleBaud(v)) {
            return Bad(text, catalogue::ModuleBaudList());
        }
        return std::string();
    };
}

ValueRule PortBaud() {
    return [](std::string& text) {
        long v = 0;
        if (!ParseInt(text, 1, 4000000, v) || !BaudSupported(static_cast<uint32_t>(v))) {
            return Bad(text, "a baud rate the port can use");
        }
        return std::string();
    };
}

ValueRule ComPort() {
    return [](std::string& text) {
        std::string t = Lower(text);
        if (t.rfind("com", 0) == 0) {
            t = t.substr(3);
        }
        long v = 0;
        if (!ParseInt(t, 1, kMaxComPort, v)) {
            // A path is the commonest slip: say where it goes instead.
            const bool path = text.find_first_of("/\\") != std::string::npos;
            return Bad(text, "COM1..COM" + std::to_string(kMaxComPort) +
                                 (path ? "; a device path goes with --device" : ""));
        }
        text = t;
        return std::string();
    };
}

ValueRule Address() {
    return [](std::string& text) {
        std::string digits;
        for (char c : text) {
            if (c == ':' || c == '-') {
                continue;
            }
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                return Bad(text, "12 hexadecimal digits");
            }
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (digits.size() != 12) {
            return Bad(text, "12 hexadecimal digits");
        }
        text = digits;
        return std::string();
    };
}

} // namespace norva::tools
