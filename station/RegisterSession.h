#pragma once
// What Register.cpp, RegisterRead.cpp and RegisterError.cpp share: the SOCI
// session, the statements run with a list of text values, a register's
// directory.

#include "station/Register.h"

#include "station/Soci.h"

#include <string>
#include <vector>

namespace norva::station {

struct Register::Session {
    soci::session sql;
    Engine engine = Engine::SQLite;
};

// The directory a SQLite register's path names it in.
std::string DirOf(const std::string& path);

// Runs `query` with `values` bound in order (":v0", ":v1", …; empty text as
// NULL) and, when `into` is given, reads the first column of the first row.
void RunWithValues(soci::session& sql, const std::string& query,
                   const std::vector<std::string>& values, std::string* into = nullptr);

// A write transaction: SQLite takes the write lock at once (BEGIN
// IMMEDIATE), so that two processes wait for each other instead of failing.
class WriteTransaction {
public:
    WriteTransaction(soci::session& sql, Engine engine);
    ~WriteTransaction();
    void Commit();

private:
    soci::session& m_sql;
    bool m_open = true;
};

} // namespace norva::station
