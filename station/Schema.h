#pragma once
// The register's tables and their versions (docs/records.md). Version 1 kept
// the attempts; version 2 added paired_units, the pair each unit is in now,
// whose primary key stops one unit from being in two completed pairs;
// version 3 added to each attempt what the pairing saw each unit do.

#include "station/Attempt.h"
#include "station/RegisterTarget.h"

#include <string>
#include <vector>

namespace soci {
class session;
}

namespace norva::station {

inline constexpr int kSchemaVersion = 3;
// The oldest version that is read as it is, without an upgrade: it has
// paired_units.
inline constexpr int kOldestReadable = 2;

// Brings the register to `upTo` inside the caller's transaction, or says why
// not: a register newer than this program, or a database that is not a
// register. Throws what the database throws.
bool Migrate(soci::session& sql, Engine engine, int upTo, int& found, std::string& error);

// The register's version: 0 for a database without one, -1 (and `error`)
// for one that is something else.
int ReadVersion(soci::session& sql, Engine engine, std::string& error);

// The attempts columns after `id` that a register of `version` has, in the
// order of AttemptValues; a later version's columns follow an earlier one's.
const std::vector<std::string>& AttemptColumns(int version = kSchemaVersion);
// A record as the text of each column of `version`; empty text is stored as
// NULL.
std::vector<std::string> AttemptValues(const AttemptRecord& record, int version = kSchemaVersion);
// The reverse; `values` holds `id` first, then AttemptColumns() of the
// register's version (columns it lacks are taken as NULL).
AttemptRecord AttemptFromValues(const std::vector<std::string>& values);

} // namespace norva::station
