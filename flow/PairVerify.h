#pragma once
// Proof that a configured pair really links: after each unit's UART setting and auto-connect
// mode have been stored, the units are restarted and must announce the link to their partner.
//
// Per unit: open at the line settings that reach it now and restart it (ATZ), so that the stored
// settings take effect; when the stored UART differs, reopen at it and restart it there too (a
// unit that took the new setting at once did not hear the first ATZ). Read its status at the
// stored setting (the escape in QueryStatus brings back a unit that linked already): a unit may
// show a new mode or flow control only after a restart, so this is where they must show. Then
// restart it again and wait for "CONNECT <partner>". With two units all are restarted together
// and all must announce the link; a unit that says only "CONNECT" is proved by data sent through
// the link reaching the other port. One unit alone that says only "CONNECT" counts as linked.
//
// Ports are closed when VerifyPair returns; a verified pair is left linked, in data mode.

#include "platform/Event.h"
#include "platform/SerialDevice.h"
#include "serial/Transcript.h"

#include <functional>
#include <string>
#include <vector>

namespace norva::flow {

// How long a restarted unit may take to announce its link.
inline constexpr int kVerifyLinkTimeoutMs = 10000;
// A unit restarted at other line settings is deaf for its restart; the status read waits this
// long first, so that the read does not spend its own time-out on the restart.
inline constexpr int kVerifyRestartSettleMs = 500;

// Line settings as the wizard keeps them: parity and stop bits in LineSettings codes
// (kNoParity / kEvenParity, kOneStopBit / kTwoStopBits).
struct VerifyLine {
    int baud = 9600;
    int parity = kNoParity;
    int stopBits = kOneStopBit;
    bool operator==(const VerifyLine&) const = default;
};

struct UnitToVerify {
    int unit = 1;           // 1 or 2: names the unit in texts and progress
    int comPort = 0;        // COM number through the COM map, used when devicePath is empty
    std::string devicePath; // a device path (tools, tests)
    VerifyLine now;         // reaches the unit before its restart
    VerifyLine stored;      // the UART just stored in it
    std::string partner;    // the address it must link with
    int askedMode = -1;     // the mode stored (-1: not checked)
    int askedFlow = -1;     // the flow control stored, 1 = RTS/CTS (-1: not checked)
};

enum class VerifyOutcome {
    Verified,       // announced the link to its partner
    CannotOpen,     // the port could not be opened (detail: the OS reason)
    NoAnswer,       // no status at the stored setting
    LinkNotUp,      // no link within the bound
    WrongPartner,   // linked with linkedTo, not with the partner
    PartnerUnnamed, // "CONNECT" without an address, and data did not reach the partner
    LinkedUnnamed,  // one unit alone: "CONNECT" without an address (counts as verified)
    NotStored,      // after the restart the status shows another mode or flow control
    DeviceGone,     // the port went away (detail: the port's report)
    Cancelled,      // the stop event was set
};

struct UnitVerifyResult {
    int unit = 1;
    std::string port; // "COM3" or the device path
    VerifyOutcome outcome = VerifyOutcome::Cancelled;
    std::string partner;  // as given
    std::string linkedTo; // address from "CONNECT <address>"
    std::string detail;   // OS or port text for CannotOpen and DeviceGone
    int mode = -1;        // operation mode in the status read at the stored setting; -1 unread
    int flow = -1;        // flow control in that status; -1 unread or not reported
    int askedMode = -1;   // as given
    int askedFlow = -1;
    int linkTimeoutMs = kVerifyLinkTimeoutMs;
    bool Verified() const {
        return outcome == VerifyOutcome::Verified || outcome == VerifyOutcome::LinkedUnnamed;
    }
};

struct VerifyResult {
    std::vector<UnitVerifyResult> units; // in the order given
    // True only when every unit given was verified (and at least one was given).
    bool Verified() const;
};

enum class VerifyStep { Opening, Resetting, Checking, WaitingForLink, Finished };

// Called on the verifying thread; must return quickly.
using VerifyProgress = std::function<void(int unit, VerifyStep step)>;

struct VerifyOptions {
    int linkTimeoutMs = kVerifyLinkTimeoutMs;
    // Where the units' lines are written (opens, commands, replies); may be
    // null. It must take lines from the verifying thread.
    ITranscript* transcript = nullptr;
};

// Blocks until every unit has a result. Two units: the two ends of one pair on two ports.
// One unit: unit 1 with one cable, its partner powered. `stop` (may be null) cancels every wait;
// units not finished then are Cancelled.
VerifyResult VerifyPair(const std::vector<UnitToVerify>& units, const Event* stop,
                        const VerifyProgress& progress = {}, const VerifyOptions& options = {});

// The first half of the check for one unit whose partner may be away: restart it and read its
// status at the stored setting. Verified when the status shows what was stored.
UnitVerifyResult CheckStoredAfterRestart(const UnitToVerify& unit, const Event* stop,
                                         const VerifyProgress& progress = {});

// One line for a person, in the UI language ("Norva-BX01 (COM1): ...").
std::string DescribeUnitResult(const UnitVerifyResult& result);
// The headline and one line per unit.
std::string DescribeVerifyResult(const VerifyResult& result);

} // namespace norva::flow
