#include "station/Register.h"

#include "station/RegisterSession.h"
#include "station/Stamp.h"

#include "station/Soci.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace norva::station {
namespace {

// How long a SQLite writer waits for another one, in seconds.
constexpr int kBusySeconds = 30;
// A PostgreSQL completion that lost a race for a unit runs again this often.
constexpr int kCompleteTries = 3;
// Serialises two stations creating or upgrading one PostgreSQL register.
constexpr long long kMigrationLock = 0x4e6f7276; // "Norv"

// A path as a SQLite URI filename, so that the connection can say how the
// file is opened.
std::string SqliteUri(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || std::strchr("-._~/", c) != nullptr) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[u >> 4];
            uri += kHex[u & 0xf];
        }
    }
    return uri;
}

// 0 when this user may write `path`, else why not (errno).
int WriteDenied(const std::string& path) {
    return access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// How a SQLite register is opened, or why it cannot be, decided before
// SQLite touches it: SQLite opens a file it may not write read-only without
// a word, and a read-only connection to a WAL database leaves its -shm and
// -wal files behind. `readOnly` is set when the connection may not write.
bool SqliteConnect(const std::string& path, bool write, std::string& connect, bool& readOnly,
                   RegisterError& error) {
    const std::string dir = DirOf(path);
    const std::string uri = "db=" + SqliteUri(path);
    const std::string timeout = " timeout=" + std::to_string(kBusySeconds);
    readOnly = false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const int missing = errno;
        if (missing != ENOENT || !write || !Exists(dir)) {
            error = ExplainErrno(missing, path);
            return false;
        }
        if (const int denied = WriteDenied(dir)) {
            error = ExplainErrno(denied, dir);
            error.reason += ": no file can be created in " + dir;
            return false;
        }
        connect = uri + "?mode=rwc" + timeout;
        return true;
    }
    if (S_ISDIR(st.st_mode)) {
        error.reason = "it is a directory, not a register file";
        return false;
    }
    if (access(path.c_str(), R_OK) != 0) {
        error = ExplainErrno(errno, path);
        return false;
    }
    // SQLite keeps its -wal and -shm files beside the register: the
    // directory must take them unless they are there already.
    const int fileDenied = WriteDenied(path);
    const int dirDenied = WriteDenied(dir);
    const bool sideFiles = WriteDenied(path + "-wal") == 0 && WriteDenied(path + "-shm") == 0;
    if (fileDenied == 0 && (dirDenied == 0 || sideFiles)) {
        // Also to be read only: an ordinary connection (kept from writing by
        // query_only) takes its -wal and -shm files away again.
        connect = uri + "?mode=rw" + timeout;
        return true;
    }
    if (write) {
        error.reason = fileDenied != 0
                           ? "it is read-only"
                           : "it is read-only: its directory " + dir + " cannot be written";
        error.detail = fileDenied != 0 ? SystemText(path, fileDenied) : SystemText(dir, dirDenied);
        return false;
    }
    // immutable: SQLite reads the file alone, with no -shm to create. Not
    // while its -wal holds changes not yet in the file: those would be missed.
    struct stat wal {};
    const bool walChanges = stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0;
    readOnly = true;
    connect = uri + "?mode=ro" + (walChanges ? "" : "&immutable=1") + timeout;
    return true;
}

// SQLite opens a file it may not write read-only without failing.
bool ReadOnlyConnection(soci::session& sql) {
    auto* backend = static_cast<soci::sqlite3_session_backend*>(sql.get_backend());
    return sqlite_api::sqlite3_db_readonly(backend->conn_, "main") == 1;
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

std::string DirOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
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

std::unique_ptr<Register> Register::Open(const RegisterTarget& target, RegisterError& error,
                                         int schemaVersion, bool write) {
    error = {};
    std::string connect;
    bool readOnly = false;
    if (target.engine == Engine::SQLite) {
        if (!SqliteConnect(target.text, write, connect, readOnly, error)) {
            return nullptr;
        }
    } else if (!PgConnectString(target.text, connect, error.reason)) {
        return nullptr;
    }
    auto session = std::make_unique<Session>();
    session->engine = target.engine;
    soci::session& sql = session->sql;
    int found = 0;
    try {
        if (target.engine == Engine::SQLite) {
            sql.open(soci::sqlite3, connect);
            if (write && ReadOnlyConnection(sql)) {
                // Before the first statement, which would make its -shm.
                error.reason = "it is read-only";
                return nullptr;
            }
            if (write) {
                SetWal(sql);
            } else if (!readOnly) {
                sql << "PRAGMA query_only = ON";
            }
            sql << "PRAGMA foreign_keys = ON";
        } else {
            sql.open(soci::postgresql, connect);
            sql << "SET client_min_messages = warning";
        }
        std::string own;
        if (!write) {
            found = ReadVersion(sql, target.engine, own);
            if (found == 0) {
                own = "it is not a pair register: it has none of the register's tables";
            }
            if (found <= 0) {
                error.reason = own;
                return nullptr;
            }
            if (found >= kOldestReadable && found <= schemaVersion) {
                std::unique_ptr<Register> reg(new Register(target, std::move(session)));
                reg->m_foundVersion = found;
                reg->m_version = found;
                return reg;
            }
            if (readOnly && found < schemaVersion) {
                error.reason = "it is read-only, and of an older version (schema version " +
                               std::to_string(found) +
                               ") that this program upgrades before it reads it";
                return nullptr;
            }
            // An older one is upgraded, a newer one refused, as for writing.
            if (target.engine == Engine::SQLite) {
                sql << "PRAGMA query_only = OFF";
            }
        }
        WriteTransaction tx(sql, target.engine);
        if (target.engine == Engine::PostgreSQL) {
            std::string none;
            soci::indicator ind = soci::i_null;
            sql << "SELECT CAST(pg_advisory_xact_lock(" + std::to_string(kMigrationLock) +
                       ") AS TEXT)",
                soci::into(none, ind);
        }
        if (!Migrate(sql, target.engine, schemaVersion, found, own)) {
            error.reason = own;
            return nullptr;
        }
        // A register that can be read but not written must fail here, before
        // a module is touched.
        sql << "UPDATE norva_meta SET value = value WHERE key = 'schema_version'";
        tx.Commit();
    } catch (const std::exception& e) {
        error = Explain(target, e);
        return nullptr;
    }
    std::unique_ptr<Register> reg(new Register(target, std::move(session)));
    reg->m_foundVersion = found;
    reg->m_version = schemaVersion;
    return reg;
}

bool Register::Begin(AttemptRecord& record, RegisterError& error) {
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
        error = Explain(m_target, e);
        return false;
    }
    return true;
}

void Register::Write(const AttemptRecord& record) {
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
}

bool Register::Update(const AttemptRecord& record, RegisterError& error) {
    return Rewrite(record, true, error);
}

bool Register::Progress(const AttemptRecord& record, RegisterError& error) {
    return Rewrite(record, false, error);
}

bool Register::Rewrite(const AttemptRecord& record, bool durable, RegisterError& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    soci::session& sql = m_session->sql;
    const bool lazySqlite = !durable && m_session->engine == Engine::SQLite;
    try {
        if (lazySqlite) {
            // Per connection, outside a transaction; a WAL commit then
            // skips its sync, and the next synced commit covers it.
            sql << "PRAGMA synchronous = NORMAL";
        }
        struct Restore {
            soci::session& sql;
            bool lazySqlite;
            ~Restore() {
                if (lazySqlite) {
                    try {
                        sql << "PRAGMA synchronous = FULL";
                    } catch (const std::exception&) {
                        // The connection is gone: nothing is written on it.
                    }
                }
            }
        } restore{sql, lazySqlite};
        WriteTransaction tx(sql, m_session->engine);
        if (!durable && m_session->engine == Engine::PostgreSQL) {
            sql << "SET LOCAL synchronous_commit = off";
        }
        Write(record);
        tx.Commit();
    } catch (const std::exception& e) {
        error = Explain(m_target, e);
        return false;
    }
    return true;
}

bool Register::Complete(AttemptRecord& record, bool allowReplace, RegisterError& error) {
    if (record.endedAt.empty()) {
        record.endedAt = UtcNow();
    }
    // As the register keeps the units: the paired_units key is the address column's spelling.
    const std::string address[2] = {NormalAddress(record.unit[0].address),
                                    NormalAddress(record.unit[1].address)};
    const std::string& a = address[0];
    const std::string& b = address[1];
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
                    const std::string& unit = address[i];
                    const std::string& other = address[1 - i];
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
                                      {address[i], std::to_string(record.id), address[1 - i]});
                    }
                }
            }
            Write(record);
            tx.Commit();
            return true;
        } catch (const std::exception& e) {
            // Another station's pair of the same unit committed first: the
            // next try sees it.
            if (attempt >= kCompleteTries) {
                error = Explain(m_target, e);
                return false;
            }
        }
    }
}

} // namespace norva::station
