#pragma once
// Why a register cannot be opened, read or written: in the user's words
// (read-only, permission denied, not a register, no such file, the server
// cannot be reached, authentication failed, …), with the database's own text
// kept apart for -v. Explain is the one place where the engines' errors are
// put into those words.

#include "station/RegisterTarget.h"

#include <exception>
#include <string>

namespace norva::station {

struct RegisterError {
    std::string reason; // "it is read-only", "authentication failed: …"
    std::string detail; // the database's or the system's text; may be empty

    bool Empty() const { return reason.empty(); }
    // The reason, and with `verbose` the database's text after it.
    std::string Text(bool verbose) const;
};

// What a SOCI or system error means for `target`.
RegisterError Explain(const RegisterTarget& target, const std::exception& e);

// An operating system error (errno) on `path`, the register file or its
// directory.
RegisterError ExplainErrno(int code, const std::string& path);

// "PATH: " and the system's text for `code`.
std::string SystemText(const std::string& path, int code);

// "the register TARGET cannot be used: REASON" (`what` is "cannot be used",
// "cannot be read", …), with `verbose` the database's text after it.
std::string Describe(const RegisterTarget& target, const std::string& what,
                     const RegisterError& error, bool verbose);

} // namespace norva::station
