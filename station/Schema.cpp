#include "station/Schema.h"

#include "station/Soci.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace norva::station {
namespace {

int ParseInt(const std::string& text, int fallback) {
    try {
        return text.empty() ? fallback : std::stoi(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

std::string Number(long long value, long long none) {
    return value > none ? std::to_string(value) : std::string();
}

// A column of attempts: its name, its type as the version that added it
// made it, and how a record's field becomes its text (empty: NULL) and back.
struct Column {
    std::string name;
    std::string type;
    int version;
    std::function<std::string(const AttemptRecord&)> get;
    std::function<void(AttemptRecord&, const std::string&)> set;
};

Column Text(const char* name, std::string AttemptRecord::*field, bool required = false) {
    return {name, required ? "TEXT NOT NULL" : "TEXT", 1,
            [field](const AttemptRecord& r) { return r.*field; },
            [field](AttemptRecord& r, const std::string& v) { r.*field = v; }};
}

Column Int(const char* name, int AttemptRecord::*field, int none) {
    return {
        name, "INTEGER", 1,
        [field, none](const AttemptRecord& r) { return Number(r.*field, none); },
        [field, none](AttemptRecord& r, const std::string& v) { r.*field = ParseInt(v, none); }};
}

// A unit's column, for each of the two units.
void AddUnitColumn(std::vector<Column>& columns, const char* name, const char* type, int version,
                   const std::function<std::string(const UnitRecord&)>& get,
                   const std::function<void(UnitRecord&, const std::string&)>& set) {
    for (int i = 0; i < 2; ++i) {
        columns.push_back(
            {"unit" + std::to_string(i + 1) + "_" + name, type, version,
             [get, i](const AttemptRecord& r) { return get(r.unit[i]); },
             [set, i](AttemptRecord& r, const std::string& v) { set(r.unit[i], v); }});
    }
}

void AddUnitText(std::vector<Column>& columns, const char* name, std::string UnitRecord::*field,
                 int version) {
    AddUnitColumn(
        columns, name, "TEXT", version, [field](const UnitRecord& u) { return u.*field; },
        [field](UnitRecord& u, const std::string& v) { u.*field = v; });
}

void AddUnitInt(std::vector<Column>& columns, const char* name, int UnitRecord::*field, int none,
                int version) {
    AddUnitColumn(
        columns, name, "INTEGER", version,
        [field, none](const UnitRecord& u) { return Number(u.*field, none); },
        [field, none](UnitRecord& u, const std::string& v) { u.*field = ParseInt(v, none); });
}

// The attempts table, every column once, in the order of the table a
// register made anew has: a later version's columns follow an earlier one's.
const std::vector<Column>& Columns() {
    static const std::vector<Column> columns = [] {
        std::vector<Column> c = {
            Text("started_at", &AttemptRecord::startedAt, true),
            Text("ended_at", &AttemptRecord::endedAt),
            Text("station", &AttemptRecord::station, true),
            Text("tool", &AttemptRecord::tool, true),
            Text("tool_version", &AttemptRecord::toolVersion, true),
            Text("operator", &AttemptRecord::operatorName),
            Text("pair_name", &AttemptRecord::pairName, true),
        };
        // Each unit's columns of version 1 follow each other: unit1_port,
        // unit1_device, …, unit2_port, …
        std::vector<Column> units;
        AddUnitText(units, "port", &UnitRecord::port, 1);
        AddUnitText(units, "device", &UnitRecord::device, 1);
        // The register's key for a unit: one spelling whatever the unit sent.
        AddUnitColumn(
            units, "address", "TEXT", 1,
            [](const UnitRecord& u) { return NormalAddress(u.address); },
            [](UnitRecord& u, const std::string& v) { u.address = v; });
        AddUnitText(units, "name", &UnitRecord::name, 1);
        AddUnitText(units, "firmware", &UnitRecord::firmware, 1);
        // A unit's settings once it holds its half of the pair.
        AddUnitColumn(
            units, "uart", "TEXT", 1,
            [](const UnitRecord& u) { return u.configured ? u.uart : std::string(); },
            [](UnitRecord& u, const std::string& v) {
                u.uart = v;
                u.configured = !v.empty();
            });
        AddUnitColumn(
            units, "mode", "INTEGER", 1,
            [](const UnitRecord& u) { return u.configured ? Number(u.mode, -1) : std::string(); },
            [](UnitRecord& u, const std::string& v) { u.mode = ParseInt(v, -1); });
        AddUnitColumn(
            units, "verified", "INTEGER", 1,
            [](const UnitRecord& u) {
                return u.verified ? std::string(*u.verified ? "1" : "0") : std::string();
            },
            [](UnitRecord& u, const std::string& v) {
                u.verified = v.empty() ? std::nullopt : std::optional<bool>(v != "0");
            });
        for (int unit = 0; unit < 2; ++unit) {
            for (size_t i = unit; i < units.size(); i += 2) {
                c.push_back(units[i]);
            }
        }
        c.push_back({"outcome", "TEXT NOT NULL", 1,
                     [](const AttemptRecord& r) { return std::string(OutcomeName(r.outcome)); },
                     [](AttemptRecord& r, const std::string& v) {
                         if (!ParseOutcome(v, r.outcome)) {
                             r.outcome = Outcome::Interrupted;
                         }
                     }});
        c.push_back(Int("step", &AttemptRecord::step, 0));
        c.push_back(Int("exit_code", &AttemptRecord::exitCode, -1));
        c.push_back(Text("reason", &AttemptRecord::reason));
        c.push_back(Text("verify_detail", &AttemptRecord::verifyDetail));
        c.push_back(Text("transcript", &AttemptRecord::transcript));
        c.push_back(
            {"replaces", "BIGINT", 1, [](const AttemptRecord& r) { return Number(r.replaces, 0); },
             [](AttemptRecord& r, const std::string& v) { r.replaces = std::stoll("0" + v); }});
        // Version 3: what the pairing saw each unit do.
        std::vector<Column> traits;
        AddUnitText(traits, "echo", &UnitRecord::echo, 3);
        AddUnitInt(traits, "status_fields", &UnitRecord::statusFields, 0, 3);
        AddUnitInt(traits, "uart_args", &UnitRecord::uartArgs, 0, 3);
        AddUnitInt(traits, "restart_ms", &UnitRecord::restartMs, -1, 3);
        for (int unit = 0; unit < 2; ++unit) {
            for (size_t i = unit; i < traits.size(); i += 2) {
                c.push_back(traits[i]);
            }
        }
        return c;
    }();
    return columns;
}

std::string AttemptsTable(Engine engine) {
    std::string ddl = "CREATE TABLE attempts (id ";
    ddl += engine == Engine::SQLite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY";
    for (const Column& column : Columns()) {
        if (column.version == 1) {
            ddl += ", " + column.name + " " + column.type;
        }
    }
    return ddl + ")";
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
void AddColumns(soci::session& sql, int version) {
    for (const Column& column : Columns()) {
        if (column.version == version) {
            sql << "ALTER TABLE attempts ADD COLUMN " + column.name + " " + column.type;
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
        }
        if (v > 1) {
            AddColumns(sql, v);
        }
        const std::string text = std::to_string(v);
        sql << "UPDATE norva_meta SET value = :v WHERE key = 'schema_version'", soci::use(text);
    }
    return true;
}

const std::vector<std::string>& AttemptColumns(int version) {
    static const std::vector<std::vector<std::string>> byVersion = [] {
        std::vector<std::vector<std::string>> names(kSchemaVersion + 1);
        for (int v = 1; v <= kSchemaVersion; ++v) {
            for (const Column& column : Columns()) {
                if (column.version <= v) {
                    names[v].push_back(column.name);
                }
            }
        }
        return names;
    }();
    return byVersion[std::clamp(version, 1, kSchemaVersion)];
}

std::vector<std::string> AttemptValues(const AttemptRecord& record, int version) {
    std::vector<std::string> values;
    for (const Column& column : Columns()) {
        if (column.version <= version) {
            values.push_back(column.get(record));
        }
    }
    return values;
}

AttemptRecord AttemptFromValues(const std::vector<std::string>& values) {
    AttemptRecord record;
    record.id = values.empty() ? 0 : std::stoll("0" + values[0]);
    // A register of an older version lacks the later columns: NULL.
    size_t i = 1;
    for (const Column& column : Columns()) {
        column.set(record, i < values.size() ? values[i] : std::string());
        ++i;
    }
    return record;
}

} // namespace norva::station
