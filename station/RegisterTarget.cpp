#include "station/RegisterTarget.h"

#include <libpq-fe.h>

#include <cctype>
#include <memory>
#include <utility>
#include <vector>

namespace norva::station {
namespace {

bool IsPostgres(const std::string& text) {
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

bool HasSpace(const std::string& text) {
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            return true;
        }
    }
    return false;
}

// A value as libpq reads it, in a form that also survives SOCI, which splits
// its connection string at white space unless a value is in double quotes
// (and then ends it at the next one) before handing it on to libpq.
bool Quote(const std::string& value, std::string& out) {
    if (!value.empty() && value.find_first_of("'\\\"") == std::string::npos && !HasSpace(value)) {
        out = value;
        return true;
    }
    std::string quoted = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '\'';
    if (!HasSpace(value)) {
        out = quoted;
        return true;
    }
    if (value.find('"') != std::string::npos) {
        return false;
    }
    out = "\"" + quoted + "\"";
    return true;
}

std::string OneLine(const char* text) {
    std::string line = text == nullptr ? "" : text;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// Where a URL holds a password: after the user name's ':', and in a
// "password" parameter. Each as [from, to).
std::vector<std::pair<size_t, size_t>> Secrets(const std::string& url) {
    std::vector<std::pair<size_t, size_t>> spans;
    // The user information ends at the first '@' before the path, as libpq
    // reads it.
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) {
        return spans;
    }
    const size_t end = url.find_first_of("@/", scheme + 3);
    if (end != std::string::npos && url[end] == '@') {
        const size_t colon = url.find(':', scheme + 3);
        if (colon < end) {
            spans.emplace_back(colon + 1, end);
        }
    }
    for (size_t at = url.find('?'); at != std::string::npos; at = url.find('&', at + 1)) {
        if (url.compare(at + 1, 9, "password=") == 0) {
            const size_t to = url.find('&', at + 10);
            spans.emplace_back(at + 10, to == std::string::npos ? url.size() : to);
        }
    }
    return spans;
}

} // namespace

bool ParseTarget(const std::string& text, RegisterTarget& target, std::string& error) {
    if (text.empty()) {
        error = "no register given: name a SQLite file or a postgresql:// database";
        return false;
    }
    target.text = text;
    target.engine = IsPostgres(text) ? Engine::PostgreSQL : Engine::SQLite;
    std::string connect;
    return target.engine != Engine::PostgreSQL || PgConnectString(text, connect, error);
}

bool PgConnectString(const std::string& url, std::string& out, std::string& error) {
    char* message = nullptr;
    // libpq's own reading of its URLs: percent-decoding, IPv6 hosts, host
    // lists, parameters it knows.
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
        PQconninfoParse(url.c_str(), &message), PQconninfoFree);
    if (!options) {
        error = OneLine(message);
        PQfreemem(message);
        // libpq quotes the part it could not read, which may be the password.
        for (const auto& [from, to] : Secrets(url)) {
            const std::string secret = url.substr(from, to - from);
            for (size_t at = secret.empty() ? std::string::npos : error.find(secret);
                 at != std::string::npos; at = error.find(secret, at + 3)) {
                error.replace(at, secret.size(), "***");
            }
        }
        error = "the URL cannot be read: " + error;
        return false;
    }
    out.clear();
    for (const PQconninfoOption* o = options.get(); o->keyword != nullptr; ++o) {
        if (o->val == nullptr) {
            continue;
        }
        std::string value;
        if (!Quote(o->val, value)) {
            error = std::string("the URL's ") + o->keyword +
                    " holds both white space and a double quote, which cannot be passed on";
            if (std::string(o->keyword) == "password") {
                error += "; give the password in PGPASSWORD or ~/.pgpass";
            }
            return false;
        }
        out += (out.empty() ? "" : " ") + std::string(o->keyword) + "=" + value;
    }
    return true;
}

std::string RegisterTarget::Shown() const {
    if (engine != Engine::PostgreSQL) {
        return text;
    }
    std::string shown = text;
    const auto spans = Secrets(text);
    for (auto s = spans.rbegin(); s != spans.rend(); ++s) {
        shown.replace(s->first, s->second - s->first, "***");
    }
    return shown;
}

} // namespace norva::station
