#pragma once
// A fresh register for one test: a SQLite file in a directory of its own, or
// a database of its own in the throw-away PostgreSQL cluster that ctest
// starts (pg_cluster.sh; its port is in NORVA_PG_DIR/port).

#include "station/RegisterTarget.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace norva::test {

inline std::string PgPort() {
#ifdef NORVA_PG_DIR
    std::ifstream in(std::string(NORVA_PG_DIR) + "/port");
    std::string port;
    in >> port;
    return port;
#else
    return {};
#endif
}

inline std::string PgUri(const std::string& database, const std::string& password = "norva-test") {
    return "postgresql://norva:" + password + "@127.0.0.1:" + PgPort() + "/" + database +
           "?connect_timeout=10";
}

// Runs one statement as the cluster's owner; its first value, or "" .
inline std::string PgRun(const std::string& database, const std::string& sql) {
    PGconn* conn = PQconnectdb(PgUri(database).c_str());
    EXPECT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
    PGresult* r = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(r);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << sql << ": " << PQerrorMessage(conn);
    std::string value = status == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    PQfinish(conn);
    return value;
}

class TestTarget {
public:
    explicit TestTarget(station::Engine engine) {
        static std::atomic<int> serial{0};
        const std::string name =
            "norva_t" + std::to_string(getpid()) + "_" + std::to_string(serial.fetch_add(1));
        m_target.engine = engine;
        if (engine == station::Engine::SQLite) {
            char dir[] = "/tmp/norva-register-XXXXXX";
            m_dir = mkdtemp(dir);
            m_target.text = m_dir + "/pairs.db";
        } else {
            m_database = name;
            PgRun("postgres", "CREATE DATABASE " + name);
            m_target.text = PgUri(name);
        }
    }
    ~TestTarget() {
        if (!m_dir.empty()) {
            std::system(("rm -rf '" + m_dir + "'").c_str());
        }
        if (!m_database.empty()) {
            PgRun("postgres", "DROP DATABASE IF EXISTS " + m_database + " WITH (FORCE)");
        }
    }
    const station::RegisterTarget& Target() const { return m_target; }
    const std::string& Text() const { return m_target.text; }
    // A statement straight on the register, bypassing the program.
    std::string Raw(const std::string& sql) const {
        if (!m_database.empty()) {
            return PgRun(m_database, sql);
        }
        std::string out;
        FILE* p = popen(("sqlite3 '" + m_target.text + "' \"" + sql + "\"").c_str(), "r");
        char buf[4096];
        while (p != nullptr && fgets(buf, sizeof buf, p) != nullptr) {
            out += buf;
        }
        if (p != nullptr) {
            pclose(p);
        }
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }
    const std::string& Dir() const { return m_dir; }
    // The PostgreSQL database's name.
    const std::string& Database() const { return m_database; }

private:
    station::RegisterTarget m_target;
    std::string m_dir;
    std::string m_database;
};

} // namespace norva::test
