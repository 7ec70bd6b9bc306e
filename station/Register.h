#pragma once
// The pair register: one row per pairing attempt, written when the attempt
// starts and completed when it ends, and the pair each unit is in now. One
// data-access layer (SOCI) over a SQLite file and a PostgreSQL database; one
// Register may be shared by the threads of a batch.

#include "station/Attempt.h"
#include "station/RegisterError.h"
#include "station/RegisterTarget.h"
#include "station/Schema.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace norva::station {

struct ListFilter {
    std::string since;   // "2026-12-01" or a full UTC time: attempts started then or later
    std::string address; // only attempts with this unit
};

class Register {
public:
    // Opens (creating a SQLite file when missing), upgrades an older
    // register in place and proves that it can be written. Null, with
    // `error` naming the reason, when it cannot be opened, is read-only or
    // newer than this program; nothing is written then, and no file is left
    // beside a SQLite register. `schemaVersion` is for tests that make an
    // older register. Opened only to be read (`write` false), a register
    // must exist, and one of this version (or an older one from
    // kOldestReadable on) is not written at all: a SQLite file that this
    // user cannot write, or in a directory it cannot write, is opened
    // read-only, so that a read-only copy can be listed.
    static std::unique_ptr<Register> Open(const RegisterTarget& target, RegisterError& error,
                                          int schemaVersion = kSchemaVersion, bool write = true);
    ~Register();
    Register(const Register&) = delete;
    Register& operator=(const Register&) = delete;

    const RegisterTarget& Target() const { return m_target; }
    // The version the register had before it was opened (0: new).
    int FoundVersion() const { return m_foundVersion; }
    // The version it is read and written as.
    int Version() const { return m_version; }

    // Writes the attempt as under way (Interrupted) and sets its id and, when
    // empty, its start time.
    bool Begin(AttemptRecord& record, RegisterError& error);
    // Writes what is known so far (units read, settings stored).
    bool Update(const AttemptRecord& record, RegisterError& error);
    // The same while the attempt is under way, without waiting for the disk: the row that Begin
    // made durable stands, and a crash of the machine (not of the program) loses at most the
    // steps since; Complete's write makes them durable with it.
    bool Progress(const AttemptRecord& record, RegisterError& error);
    // Writes the end. A Paired attempt becomes the pair of both its units: a
    // pair either unit was in before is replaced (`replaces` is set) when it
    // is the same pair or `allowReplace`; otherwise (another station paired
    // one of the units meanwhile) the attempt is kept with a reason saying so
    // and the pairs stay as they are.
    bool Complete(AttemptRecord& record, bool allowReplace, RegisterError& error);

    // The completed pair `address` is in now.
    std::optional<PairHolding> HoldingOf(const std::string& address, RegisterError& error);
    bool List(const ListFilter& filter, std::vector<AttemptRecord>& out, RegisterError& error);
    std::optional<AttemptRecord> Find(int64_t id, RegisterError& error);

private:
    struct Session;
    Register(const RegisterTarget& target, std::unique_ptr<Session> session);
    void Write(const AttemptRecord& record);
    // Update and Progress: the attempt's row written again, waiting for the disk or not.
    bool Rewrite(const AttemptRecord& record, bool durable, RegisterError& error);

    RegisterTarget m_target;
    int m_foundVersion = 0;
    int m_version = kSchemaVersion;
    std::mutex m_lock;
    std::unique_ptr<Session> m_session;
};

} // namespace norva::station
