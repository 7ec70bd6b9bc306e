#include "station/Register.h"

#include "station/RegisterSession.h"

#include "station/Soci.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace norva::station {
namespace {

// How long a SQLite writer waits for another one, in seconds.
constexpr int kBusySeconds = 30;
// A PostgreSQL completion that lost a race for a unit runs again this often.
constexpr int kCompleteTries = 3;
// Serialises two stations creating or upgrading one PostgreSQL register.
constexpr long long kMigrationLock = 0x4e6f7276; // "Norv"

std::string SqliteConnect(const std::string& path) {
    std::string quoted = path;
    if (path.find_first_of(" \t'\"") != std::string::npos) {
        quoted = "\"" + path + "\"";
    }
    return "db=" + quoted + " timeout=" + std::to_string(kBusySeconds);
}

bool Busy(const std::exception& e) {
    const std::string text = e.what();
    return text.find("locked") != std::string::npos || text.find("busy") != std::string::npos;
}

// Readers never wait for a writer, and writers of several processes queue on
// the busy time-out. Switching a new file to WAL needs it to itself: while
// another process holds it, SQLite answers busy at once rather than wait
// (its guard against deadlock), so the switch is tried again for as long as
// a writer would wait.
void SetWal(soci::session& sql) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kBusySeconds);
    for (;;) {
        try {
            std::string mode;
            sql << "PRAGMA journal_mode = WAL", soci::into(mode);
            return;
        } catch (const std::exception& e) {
            if (!Busy(e) || std::chrono::steady_clock::now() >= until) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

std::string Reason(const std::exception& e) {
    std::string text = e.what();
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

void RunWithValues(soci::session& sql, const std::string& query,
                   const std::vector<std::string>& values, std::string* into) {
    std::vector<std::string> bound(values);
    std::vector<soci::indicator> indicators(bound.size());
    std::string out;
    soci::indicator outIndicator = soci::i_null;
    soci::statement st(sql);
    for (size_t i = 0; i < bound.size(); ++i) {
        indicators[i] = bound[i].empty() ? soci::i_null : soci::i_ok;
        st.exchange(soci::use(bound[i], indicators[i]));
    }
    if (into != nullptr) {
        st.exchange(soci::into(out, outIndicator));
    }
    st.alloc();
    st.prepare(query);
    st.define_and_bind();
    st.execute(true);
    if (into != nullptr) {
        *into = outIndicator == soci::i_ok ? out : std::string();
    }
}

WriteTransaction::WriteTransaction(soci::session& sql, Engine engine) : m_sql(sql) {
    m_sql << (engine == Engine::SQLite ? "BEGIN IMMEDIATE" : "BEGIN");
}

WriteTransaction::~WriteTransaction() {
    if (m_open) {
        try {
            m_sql << "ROLLBACK";
        } catch (const std::exception&) {
            // The connection is gone; so is the transaction.
        }
    }
}

void WriteTransaction::Commit() {
    m_sql << "COMMIT";
    m_open = false;
}

Register::Register(const RegisterTarget& target, std::unique_ptr<Session> session)
    : m_target(target), m_session(std::move(session)) {}

Register::~Register() = default;

std::unique_ptr<Register> Register::Open(const RegisterTarget& target, std::string& error,
                                         int schemaVersion, bool write) {
    struct stat st {};
    if (!write && target.engine == Engine::SQLite && stat(target.text.c_str(), &st) != 0) {
        // strerror's buffer is shared by all threads; the GNU strerror_r
        // returns either its own static text or `text`.
        char text[256];
        error = strerror_r(errno, text, sizeof text);
        return nullptr;
    }
    auto session = std::make_unique<Session>();
    session->engine = target.engine;
    soci::session& sql = session->sql;
    int found = 0;
    try {
        if (target.engine == Engine::SQLite) {
            sql.open(soci::sqlite3, SqliteConnect(target.text));
            if (write) {
                SetWal(sql);
            }
            sql << "PRAGMA foreign_keys = ON";
        } else {
            sql.open(soci::postgresql, target.text);
            sql << "SET client_min_messages = warning";
        }
        if (!write) {
            found = ReadVersion(sql, target.engine, error);
            if (found < 0) {
                return nullptr;
            }
            if (found == 0) {
                error = "it holds no pair register";
                return nullptr;
            }
            if (found >= kOldestReadable && found <= schemaVersion) {
                std::unique_ptr<Register> reg(new Register(target, std::move(session)));
                reg->m_foundVersion = found;
                reg->m_version = found;
                return reg;
            }
            // An older one is upgraded, a newer one refused, as for writing.
        }
        WriteTransaction tx(sql, target.engine);
        if (target.engine == Engine::PostgreSQL) {
            std::string none;
            soci::indicator ind = soci::i_null;
            sql << "SELECT CAST(pg_advisory_xact_lock(" + std::to_string(kMigrationLock) +
                       ") AS TEXT)",
                soci::into(none, ind);
        }
        if (!Migrate(sql, target.engine, schemaVersion, found, error)) {
            return nullptr;
        }
        // A register that can be read but not written must fail here, before
        // a module is touched.
        sql << "UPDATE norva_meta SET value = value WHERE key = 'schema_version'";
        tx.Commit();
    } catch (const std::exception& e) {
        error = Reason(e);
        return nullptr;
    }
    std::unique_ptr<Register> reg(new Register(target, std::move(session)));
    reg->m_foundVersion = found;
    reg->m_version = schemaVersion;
    return reg;
}

bool Register::Begin(AttemptRecord& record, std::string& error) {
    if (record.startedAt.empty()) {
        record.startedAt = UtcNow();
    }
    record.outcome = Outcome::Interrupted;
    const std::vector<std::string>& columns = AttemptColumns(m_version);
    std::string names;
    std::string marks;
    for (size_t i = 0; i < columns.size(); ++i) {
        names += (i == 0 ? "" : ", ") + columns[i];
        marks += (i == 0 ? ":v" : ", :v") + std::to_string(i);
    }
    std::lock_guard<std::mutex> lock(m_lock);
    try {
        WriteTransaction tx(m_session->sql, m_session->engine);
        std::string id;
        RunWithValues(m_session->sql,
                      "INSERT INTO attempts (" + names + ") VALUES (" + marks + ") RETURNING id",
                      AttemptValues(record, m_version), &id);
        tx.Commit();
        record.id = std::stoll("0" + id);
    } catch (const std::exception& e) {
        error = Reason(e);
        return false;
    }
    return true;
}

bool Register::Write(const AttemptRecord& record, std::string& error) {
    const std::vector<std::string>& columns = AttemptColumns(m_version);
    std::string sets;
    for (size_t i = 0; i < columns.size(); ++i) {
        sets += (i == 0 ? "" : ", ") + columns[i] + " = :v" + std::to_string(i);
    }
    std::vector<std::string> values = AttemptValues(record, m_version);
    values.push_back(std::to_string(record.id));
    RunWithValues(m_session->sql,
                  "UPDATE attempts SET " + sets + " WHERE id = :v" + std::to_string(columns.size()),
                  values);
    (void)error;
    return true;
}

bool Register::Update(const AttemptRecord& record, std::string& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    try {
        WriteTransaction tx(m_session->sql, m_session->engine);
        Write(record, error);
        tx.Commit();
    } catch (const std::exception& e) {
        error = Reason(e);
        return false;
    }
    return true;
}

bool Register::Complete(AttemptRecord& record, bool allowReplace, std::string& error) {
    if (record.endedAt.empty()) {
        record.endedAt = UtcNow();
    }
    const std::string& a = record.unit[0].address;
    const std::string& b = record.unit[1].address;
    const bool pairs = SetUp(record.outcome) && !a.empty() && !b.empty();
    std::lock_guard<std::mutex> lock(m_lock);
    soci::session& sql = m_session->sql;
    const std::string reason = record.reason;
    for (int attempt = 1;; ++attempt) {
        try {
            WriteTransaction tx(sql, m_session->engine);
            record.reason = reason;
            if (pairs) {
                std::set<long long> old;
                std::string conflict;
                for (int i = 0; i < 2; ++i) {
                    const std::string& unit = record.unit[i].address;
                    const std::string& other = record.unit[1 - i].address;
                    std::string id;
                    std::string partner;
                    soci::indicator idInd = soci::i_null;
                    soci::indicator partnerInd = soci::i_null;
                    sql << "SELECT attempt_id, partner FROM paired_units WHERE address = :a",
                        soci::use(unit), soci::into(id, idInd), soci::into(partner, partnerInd);
                    if (idInd != soci::i_ok || std::stoll("0" + id) == record.id) {
                        continue;
                    }
                    if (partner == other || allowReplace) {
                        old.insert(std::stoll("0" + id));
                    } else if (conflict.empty()) {
                        conflict.append(unit)
                            .append(" was recorded meanwhile in attempt ")
                            .append(id)
                            .append(" as paired with ")
                            .append(partner);
                    }
                }
                if (!conflict.empty()) {
                    record.reason = "paired, but " + conflict +
                                    ": the register keeps that pair (pair again with --repair)";
                } else {
                    for (long long id : old) {
                        sql << "DELETE FROM paired_units WHERE attempt_id = :id", soci::use(id);
                        record.replaces = id;
                    }
                    for (int i = 0; i < 2; ++i) {
                        RunWithValues(sql,
                                      "INSERT INTO paired_units (address, attempt_id, partner)"
                                      " VALUES (:v0, :v1, :v2)",
                                      {record.unit[i].address, std::to_string(record.id),
                                       record.unit[1 - i].address});
                    }
                }
            }
            Write(record, error);
            tx.Commit();
            return true;
        } catch (const std::exception& e) {
            // Another station's pair of the same unit committed first: the
            // next try sees it.
            if (attempt >= kCompleteTries) {
                error = Reason(e);
                return false;
            }
        }
    }
}

} // namespace norva::station
