#pragma once
// One pairing attempt: who paired what, where, how it was set and how it
// ended. `norvactl pair` reports it, the register keeps it, labels show it,
// and it is written as JSON by one writer (AttemptJson.h).

#include <cstdint>
#include <optional>
#include <string>

namespace norva::station {

// How an attempt ended; an attempt starts as Interrupted, so that a run that
// is killed leaves that behind.
// Paired: both units configured and the link proved by Verify; Configured: both configured,
// Verify not run (asked not to) or not yet run.
enum class Outcome { Interrupted, Paired, Failed, Cancelled, DeviceGone, Refused, Configured };

// Both units hold the settings that make them a pair (proved or not).
inline bool SetUp(Outcome outcome) {
    return outcome == Outcome::Paired || outcome == Outcome::Configured;
}

// Both units configured: only Verify proves a pair, since a unit may show a stored mode it does
// not keep.
inline Outcome SetUpOutcome(bool verified) {
    return verified ? Outcome::Paired : Outcome::Configured;
}

const char* OutcomeName(Outcome outcome);
// False for a name no version of the register writes.
bool ParseOutcome(const std::string& name, Outcome& outcome);

struct UnitRecord {
    std::string port;    // "COM33", or the device path given
    std::string device;  // the stable path (a /dev/serial/by-id link) where one exists
    std::string address; // as the unit gave it; the register keeps 12 upper-case hex digits
    std::string name;
    // "flow-field" when its status line reports flow control, "no-flow-field"
    // for firmware whose status line has no such field; empty until read.
    std::string firmware;
    // What the unit acknowledged storing: "115200,even,1,flow" (empty: no
    // UART) and its mode (-1: none); a unit may take one and not the other.
    std::string uart;
    int mode = -1;
    // Its step ended well: it holds its half of the pair. The register keeps
    // the UART and mode of such a unit only.
    bool configured = false;
    std::optional<bool> verified;
    // What the pairing saw the unit do where modules differ: whether a
    // command came back before its reply ("seen" or "none"; empty until a
    // reply was read), its status line's fields (6 or 7; 0 unknown), the UART
    // command form it took (3 or 4 arguments; 0 none) and how long it took to
    // answer again after a restart (-1 unknown).
    std::string echo;
    int statusFields = 0;
    int uartArgs = 0;
    int restartMs = -1;
    // Unit 1 made discoverable and not taken out of it by the run, and why
    // (or that the run took it out); the report's, not kept by the register.
    bool discoverable = false;
    std::string discoverableNote;

    void NoteStatusLine(bool flowReported) {
        firmware = flowReported ? "flow-field" : "no-flow-field";
        statusFields = flowReported ? 7 : 6;
    }
};

struct AttemptRecord {
    int64_t id = 0;
    std::string startedAt; // UTC, "2026-12-08T10:15:02Z"
    std::string endedAt;   // empty while under way
    std::string station;   // host name
    std::string tool;      // "norvactl" or "norvawizard"
    std::string toolVersion;
    std::string operatorName;
    std::string pairName; // "COM33+COM34"
    UnitRecord unit[2];
    Outcome outcome = Outcome::Interrupted;
    int step = 0;      // the step reached, 1..9
    int exitCode = -1; // norvactl's status for the pair; -1: none (the wizard)
    std::string reason;
    std::string verifyDetail;
    std::string transcript; // the --log file, when one was written
    int64_t replaces = 0;   // the attempt whose pair this one replaced
    // --skip-done: why the pair was left out; such an attempt is not kept.
    std::string skipped;

    bool Ok() const { return SetUp(outcome) || !skipped.empty(); }
    // Whether Verify saw the link: null when it was not run, else true only
    // when every unit it restarted linked.
    std::optional<bool> Verified() const {
        if (!unit[0].verified && !unit[1].verified) {
            return std::nullopt;
        }
        return unit[0].verified.value_or(true) && unit[1].verified.value_or(true);
    }
};

// The completed pair a unit belongs to now.
struct PairHolding {
    int64_t attemptId = 0;
    std::string address;
    std::string partner;
    std::string partnerName;
    std::string pairedAt; // when that attempt ended
    std::string station;
    bool verified = false; // both units verified
};

// "00:a0:96-1b2c01" and the like as 12 upper-case hex digits; empty when it
// is not an address.
std::string NormalAddress(const std::string& text);
// "the pair with 00A0961B2C02 (Norva-BX02), paired 2026-12-08 on bench-3
// (attempt 12)" for messages.
std::string DescribeHolding(const PairHolding& holding);

} // namespace norva::station
