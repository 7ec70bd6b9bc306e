#include "station/RegisterError.h"

#include "station/RegisterSession.h"
#include "station/Soci.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace norva::station {
namespace {

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    text.erase(
        std::unique(text.begin(), text.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
        text.end());
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool Writable(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

// SQLite "cannot open": which of the file, its directory or the files SQLite
// keeps next to it.
std::string CannotOpen(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return ExplainErrno(errno, path).reason;
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a directory, not a register file";
    }
    if (access(path.c_str(), R_OK) != 0) {
        return ExplainErrno(errno, path).reason;
    }
    const std::string dir = DirOf(path);
    if (!Writable(path) || !Writable(dir)) {
        struct stat wal {};
        if (stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0) {
            return "it is read-only, and " + path +
                   "-wal holds changes not yet in the file: open it once where it can be"
                   " written";
        }
        return Writable(path) ? "it is read-only: its directory " + dir + " cannot be written"
                              : "it is read-only";
    }
    return {};
}

std::string FromSqlite(const std::string& path, int code) {
    // The primary code, should SQLite give an extended one.
    switch (code & 0xff) {
    case SQLITE_READONLY:
        if (!Writable(path) || Writable(DirOf(path))) {
            return "it is read-only";
        }
        return "it is read-only: its directory " + DirOf(path) + " cannot be written";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "permission denied";
    case SQLITE_NOTADB:
        return "it is not a pair register: the file is not a SQLite database";
    case SQLITE_CORRUPT:
        return "the file is damaged";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "another program keeps it locked";
    case SQLITE_FULL:
        return "the disk is full";
    case SQLITE_CANTOPEN:
        return CannotOpen(path);
    default:
        return {};
    }
}

std::string FromSqlState(const std::string& state) {
    if (state == "28P01" || state == "28000") {
        return "authentication failed: wrong user name or password";
    }
    if (state == "3D000") {
        return "no such database";
    }
    if (state == "42501") {
        return "permission denied";
    }
    if (state == "25006") {
        return "it is read-only";
    }
    if (state == "42P01") {
        return "it is not a pair register: a table of the register is missing";
    }
    if (state == "53100") {
        return "the server's disk is full";
    }
    if (state.rfind("57P", 0) == 0) {
        return "the server is shutting down or starting up";
    }
    if (state.rfind("08", 0) == 0) {
        return "the connection to the server failed";
    }
    return {};
}

// libpq's own messages, when it has no SQLSTATE to give: the connection's.
std::string FromPgText(const std::string& text) {
    const std::string t = Lower(text);
    if (Has(t, "no password supplied")) {
        return "authentication failed: no password given (in the URL, PGPASSWORD or ~/.pgpass)";
    }
    if (Has(t, "password authentication failed")) {
        return "authentication failed: wrong user name or password";
    }
    if (Has(t, "pg_hba.conf")) {
        return "authentication failed: the server does not let this user in from here";
    }
    if (Has(t, "role \"") && Has(t, "does not exist")) {
        return "authentication failed: no such user";
    }
    if (Has(t, "authentication")) {
        return "authentication failed";
    }
    if (Has(t, "database \"") && Has(t, "does not exist")) {
        return "no such database";
    }
    if (Has(t, "permission denied")) {
        return "permission denied";
    }
    if (Has(t, "read-only transaction")) {
        return "it is read-only";
    }
    if (Has(t, "could not translate host name")) {
        return "cannot connect to the server: its host name is unknown";
    }
    if (Has(t, "the database system is")) {
        return "the server is shutting down or starting up";
    }
    if (Has(t, "server closed the connection") || Has(t, "terminating connection") ||
        Has(t, "no connection to the server") || Has(t, "connection to server was lost")) {
        return "the connection to the server was lost";
    }
    if (Has(t, "cannot establish connection") || Has(t, "could not connect") ||
        Has(t, "connection refused") || Has(t, "timeout expired") ||
        (Has(t, "connection to server") && Has(t, "failed"))) {
        return "cannot connect to the server: it is down, or the host or port is wrong";
    }
    return {};
}

} // namespace

std::string RegisterError::Text(bool verbose) const {
    if (!verbose || detail.empty() || detail == reason) {
        return reason;
    }
    return reason + " (" + detail + ")";
}

std::string SystemText(const std::string& path, int code) {
    // strerror's buffer is shared by all threads; the GNU strerror_r returns
    // either its own static text or `text`.
    char text[256];
    return path + ": " + strerror_r(code, text, sizeof text);
}

RegisterError ExplainErrno(int code, const std::string& path) {
    RegisterError error;
    error.detail = SystemText(path, code);
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        error.reason = access(DirOf(path).c_str(), F_OK) == 0 ? "no such file"
                                                              : "no such directory: " + DirOf(path);
        break;
    case EACCES:
    case EPERM:
        error.reason = "permission denied";
        break;
    case EROFS:
        error.reason = "it is read-only";
        break;
    default:
        error.reason = error.detail;
        error.detail.clear();
        break;
    }
    return error;
}

RegisterError Explain(const RegisterTarget& target, const std::exception& e) {
    RegisterError error;
    error.detail = OneLine(e.what());
    if (target.engine == Engine::SQLite) {
        if (const auto* s = dynamic_cast<const soci::sqlite3_soci_error*>(&e)) {
            error.reason = FromSqlite(target.text, s->result());
        }
    } else {
        if (const auto* p = dynamic_cast<const soci::postgresql_soci_error*>(&e)) {
            error.reason = FromSqlState(p->sqlstate());
        }
        if (error.reason.empty()) {
            error.reason = FromPgText(error.detail);
        }
    }
    if (error.reason.empty()) {
        // Nothing plainer to say than the database's own words.
        error.reason = error.detail;
        error.detail.clear();
    }
    return error;
}

std::string Describe(const RegisterTarget& target, const std::string& what,
                     const RegisterError& error, bool verbose) {
    return "the register " + target.Shown() + " " + what + ": " + error.Text(verbose);
}

} // namespace norva::station
