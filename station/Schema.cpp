#include "station/Schema.h"

#include "station/Soci.h"

namespace norva::station {
namespace {

const char* const kUnitColumns[] = {"port",     "device", "address", "name",
                                    "firmware", "uart",   "mode",    "verified"};
// Version 3's, after every older column of both units.
const char* const kTraitColumns[] = {"echo", "status_fields", "uart_args", "restart_ms"};

std::string AttemptsTable(Engine engine) {
    std::string ddl = "CREATE TABLE attempts (id ";
    ddl += engine == Engine::SQLite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY";
    ddl += ", started_at TEXT NOT NULL, ended_at TEXT, station TEXT NOT NULL,"
           " tool TEXT NOT NULL, tool_version TEXT NOT NULL, operator TEXT,"
           " pair_name TEXT NOT NULL";
    for (const char* unit : {"unit1_", "unit2_"}) {
        for (const char* column : kUnitColumns) {
            const std::string name = column;
            ddl += std::string(", ") + unit + name +
                   (name == "mode" || name == "verified" ? " INTEGER" : " TEXT");
        }
    }
    ddl += ", outcome TEXT NOT NULL, step INTEGER, exit_code INTEGER, reason TEXT,"
           " verify_detail TEXT, transcript TEXT, replaces BIGINT)";
    return ddl;
}

void Version1(soci::session& sql, Engine engine) {
    sql << "CREATE TABLE norva_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)";
    sql << AttemptsTable(engine);
    sql << "INSERT INTO norva_meta (key, value) VALUES ('schema_version', '1')";
}

void Version2(soci::session& sql) {
    sql << "CREATE TABLE paired_units (address TEXT PRIMARY KEY,"
           " attempt_id BIGINT NOT NULL REFERENCES attempts (id), partner TEXT NOT NULL)";
    sql << "CREATE INDEX attempts_unit1 ON attempts (unit1_address)";
    sql << "CREATE INDEX attempts_unit2 ON attempts (unit2_address)";
    sql << "CREATE INDEX attempts_started ON attempts (started_at)";
    // A pair recorded by version 1 holds its units when it is the latest
    // completed pair of both of them.
    const std::string latest =
        " FROM attempts a WHERE a.outcome = 'paired' AND a.unit1_address IS NOT NULL"
        " AND a.unit2_address IS NOT NULL AND NOT EXISTS (SELECT 1 FROM attempts b"
        " WHERE b.outcome = 'paired' AND b.id > a.id AND (b.unit1_address IN"
        " (a.unit1_address, a.unit2_address) OR b.unit2_address IN"
        " (a.unit1_address, a.unit2_address)))";
    sql << "INSERT INTO paired_units (address, attempt_id, partner) SELECT a.unit1_address,"
           " a.id, a.unit2_address" +
               latest;
    sql << "INSERT INTO paired_units (address, attempt_id, partner) SELECT a.unit2_address,"
           " a.id, a.unit1_address" +
               latest;
}

// Added where the table ends, so that a register made anew and one upgraded
// have the same columns in the same order.
void Version3(soci::session& sql) {
    for (const char* unit : {"unit1_", "unit2_"}) {
        for (const char* column : kTraitColumns) {
            const std::string name = column;
            sql << "ALTER TABLE attempts ADD COLUMN " + (unit + name) +
                       (name == "echo" ? " TEXT" : " INTEGER");
        }
    }
}

bool TableExists(soci::session& sql, Engine engine, const std::string& name) {
    int count = 0;
    if (engine == Engine::SQLite) {
        sql << "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = :n",
            soci::use(name), soci::into(count);
    } else {
        sql << "SELECT count(*) FROM information_schema.tables WHERE table_schema ="
               " current_schema() AND table_name = :n",
            soci::use(name), soci::into(count);
    }
    return count > 0;
}

int ParseInt(const std::string& text, int fallback) {
    try {
        return text.empty() ? fallback : std::stoi(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

int ReadVersion(soci::session& sql, Engine engine, std::string& error) {
    if (TableExists(sql, engine, "norva_meta")) {
        std::string version;
        soci::indicator ind = soci::i_null;
        sql << "SELECT value FROM norva_meta WHERE key = 'schema_version'",
            soci::into(version, ind);
        const int found = ind == soci::i_ok ? ParseInt(version, -1) : -1;
        if (found < 1) {
            error = "it is not a pair register: its schema version cannot be read";
            return -1;
        }
        return found;
    }
    if (TableExists(sql, engine, "attempts")) {
        error = "it is not a pair register: it has an attempts table but no norva_meta";
        return -1;
    }
    return 0;
}

bool Migrate(soci::session& sql, Engine engine, int upTo, int& found, std::string& error) {
    found = ReadVersion(sql, engine, error);
    if (found < 0) {
        return false;
    }
    if (found > upTo) {
        error = "it was written by a newer version (schema version " + std::to_string(found) +
                "; this program knows up to " + std::to_string(upTo) +
                "): nothing was written; use a newer NorvaWizard";
        return false;
    }
    for (int v = found + 1; v <= upTo; ++v) {
        if (v == 1) {
            Version1(sql, engine);
        } else if (v == 2) {
            Version2(sql);
        } else if (v == 3) {
            Version3(sql);
        }
        const std::string text = std::to_string(v);
        sql << "UPDATE norva_meta SET value = :v WHERE key = 'schema_version'", soci::use(text);
    }
    return true;
}

const std::vector<std::string>& AttemptColumns(int version) {
    static const std::vector<std::string> older = [] {
        std::vector<std::string> c = {"started_at",   "ended_at", "station",  "tool",
                                      "tool_version", "operator", "pair_name"};
        for (const char* unit : {"unit1_", "unit2_"}) {
            for (const char* column : kUnitColumns) {
                c.push_back(std::string(unit) + column);
            }
        }
        for (const char* column : {"outcome", "step", "exit_code", "reason", "verify_detail",
                                   "transcript", "replaces"}) {
            c.emplace_back(column);
        }
        return c;
    }();
    static const std::vector<std::string> withTraits = [] {
        std::vector<std::string> c = older;
        for (const char* unit : {"unit1_", "unit2_"}) {
            for (const char* column : kTraitColumns) {
                c.push_back(std::string(unit) + column);
            }
        }
        return c;
    }();
    return version >= 3 ? withTraits : older;
}

namespace {

std::string Flag(const std::optional<bool>& value) {
    return value ? (*value ? "1" : "0") : "";
}

std::optional<bool> FlagOf(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return text != "0";
}

} // namespace

std::vector<std::string> AttemptValues(const AttemptRecord& r, int version) {
    std::vector<std::string> v = {r.startedAt,   r.endedAt,      r.station, r.tool,
                                  r.toolVersion, r.operatorName, r.pairName};
    for (const UnitRecord& u : r.unit) {
        for (const std::string& text :
             {u.port, u.device, u.address, u.name, u.firmware, u.uart,
              u.mode >= 0 ? std::to_string(u.mode) : std::string(), Flag(u.verified)}) {
            v.push_back(text);
        }
    }
    v.emplace_back(OutcomeName(r.outcome));
    v.push_back(r.step > 0 ? std::to_string(r.step) : "");
    v.push_back(r.exitCode >= 0 ? std::to_string(r.exitCode) : "");
    v.push_back(r.reason);
    v.push_back(r.verifyDetail);
    v.push_back(r.transcript);
    v.push_back(r.replaces > 0 ? std::to_string(r.replaces) : "");
    if (version < 3) {
        return v;
    }
    for (const UnitRecord& u : r.unit) {
        v.push_back(u.echo);
        v.push_back(u.statusFields > 0 ? std::to_string(u.statusFields) : "");
        v.push_back(u.uartArgs > 0 ? std::to_string(u.uartArgs) : "");
        v.push_back(u.restartMs >= 0 ? std::to_string(u.restartMs) : "");
    }
    return v;
}

AttemptRecord AttemptFromValues(const std::vector<std::string>& v) {
    AttemptRecord r;
    size_t i = 0;
    auto next = [&]() -> const std::string& {
        static const std::string none;
        return i < v.size() ? v[i++] : none;
    };
    r.id = std::stoll("0" + next());
    r.startedAt = next();
    r.endedAt = next();
    r.station = next();
    r.tool = next();
    r.toolVersion = next();
    r.operatorName = next();
    r.pairName = next();
    for (UnitRecord& u : r.unit) {
        u.port = next();
        u.device = next();
        u.address = next();
        u.name = next();
        u.firmware = next();
        u.uart = next();
        u.mode = ParseInt(next(), -1);
        u.verified = FlagOf(next());
    }
    if (!ParseOutcome(next(), r.outcome)) {
        r.outcome = Outcome::Interrupted;
    }
    r.step = ParseInt(next(), 0);
    r.exitCode = ParseInt(next(), -1);
    r.reason = next();
    r.verifyDetail = next();
    r.transcript = next();
    r.replaces = std::stoll("0" + next());
    for (UnitRecord& u : r.unit) {
        u.echo = next();
        u.statusFields = ParseInt(next(), 0);
        u.uartArgs = ParseInt(next(), 0);
        u.restartMs = ParseInt(next(), -1);
    }
    return r;
}

} // namespace norva::station
