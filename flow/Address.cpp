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

} // namespace norva::flow
