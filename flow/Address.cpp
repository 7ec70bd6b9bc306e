#include "flow/Address.h"

#include <cctype>

namespace norva::flow {

bool SameAddress(const std::string& a, const std::string& b) {
    auto plain = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c != ':' && c != '-' && c != ' ') {
                out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        return out;
    };
    const std::string pa = plain(a);
    return !pa.empty() && pa == plain(b);
}

bool DialableAddress(const std::string& address) {
    if (address.size() != 12) {
        return false;
    }
    for (char c : address) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

} // namespace norva::flow
