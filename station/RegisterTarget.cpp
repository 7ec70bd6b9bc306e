#include "station/RegisterTarget.h"

namespace norva::station {

bool ParseTarget(const std::string& text, RegisterTarget& target, std::string& error) {
    if (text.empty()) {
        error = "no register given: name a SQLite file or a postgresql:// database";
        return false;
    }
    target.text = text;
    target.engine = text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0
                        ? Engine::PostgreSQL
                        : Engine::SQLite;
    return true;
}

std::string RegisterTarget::Shown() const {
    if (engine != Engine::PostgreSQL) {
        return text;
    }
    const size_t scheme = text.find("://") + 3;
    const size_t at = text.find('@', scheme);
    const size_t colon = text.find(':', scheme);
    if (at == std::string::npos || colon == std::string::npos || colon > at) {
        return text;
    }
    return text.substr(0, colon) + ":***" + text.substr(at);
}

} // namespace norva::station
