#pragma once
// Proof that a configured pair really links: after each unit's UART setting and auto-connect
// mode have been stored, each unit is restarted once and the pair must link by itself.
//
// Per unit: open at the line settings that reach it now, escape (a linked unit would send the
// ATZ over the air) and send ATZ; when the stored UART differs, reopen at it and send ATZ there
// too (a unit that took the new setting at once did not hear the first). Then only listen, and
// ask "AT" while the unit boots to learn when it answers again. Units differ in boot time and
// in whether they announce a link, so nothing is concluded from silence within the bounds:
// "CONNECT <partner>" from either end proves the link; an end that names no partner, or says
// nothing (result codes off), is proved by data sent through the link reaching its line. No
// status command is sent while a link may be live; the status is read only to say why a unit
// that never linked failed.
//
// One unit (one cable): the partner is not on the cable and cannot be restarted from here; a
// stored mode acts only at a restart, so a person switches it off and on when asked.
//
// Ports are closed when VerifyPair returns; a verified pair is left linked, in data mode.

#include "module/Catalogue.h"
#include "platform/Event.h"
#include "platform/SerialDevice.h"
#include "serial/Transcript.h"

#include <functional>
#include <string>
#include <vector>

namespace norva::flow {

// How long restarted units may take to link, once they boot.
inline constexpr int kVerifyLinkTimeoutMs = catalogue::kLinkBoundMs;

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
    std::string name;       // its own name as read; empty: its role ("Norva-BX01")
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
    std::string name; // as given
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
    // From the ATZ at the stored setting to the first answer after the unit had gone deaf (or to
    // its first answer or announcement); -1 when it never answered.
    int restartMs = -1;
    bool Verified() const {
        return outcome == VerifyOutcome::Verified || outcome == VerifyOutcome::LinkedUnnamed;
    }
};

struct VerifyResult {
    std::vector<UnitVerifyResult> units; // in the order given
    // True only when every unit given was verified (and at least one was given).
    bool Verified() const;
};

enum class VerifyStep {
    Opening,
    Resetting,
    WaitingForLink,
    WaitingForPartner, // one unit: the partner is to be switched off and on
                       // (IDS_VERIFY_POWER_CYCLE)
    Checking,          // the unit did not link: its status is read to say why
    Finished,
};

// Called on the verifying thread; must return quickly.
using VerifyProgress = std::function<void(int unit, VerifyStep step)>;

struct VerifyOptions {
    int linkTimeoutMs = kVerifyLinkTimeoutMs;
    // How long a restarted unit may stay deaf.
    int restartBoundMs = catalogue::kRestartBoundMs;
    // Where the units' lines are written (opens, commands, replies); may be
    // null. It must take lines from the verifying thread.
    ITranscript* transcript = nullptr;
    // One unit: called once it has restarted, after WaitingForPartner was reported, to have the
    // partner switched off and on (a prompt, or nothing for a caller that just waits). It may
    // block; bytes that arrive meanwhile are kept. False cancels the check.
    std::function<bool()> askPartnerPowerCycle;
    // One unit: how long the link may take after that.
    int powerCycleTimeoutMs = catalogue::kPowerCycleBoundMs;
};

// Blocks until every unit has a result. Two units: the two ends of one pair on two ports.
// One unit: unit 1 with one cable, its partner switched off and on when asked. `stop` (may be null)
// cancels every wait; units not finished then are Cancelled.
VerifyResult VerifyPair(const std::vector<UnitToVerify>& units, const Event* stop,
                        const VerifyProgress& progress = {}, const VerifyOptions& options = {});

// For one unit whose partner may be away: restart it, wait until it answers at the stored
// setting and read its status there. Verified when the status shows what was stored.
UnitVerifyResult CheckStoredAfterRestart(const UnitToVerify& unit, const Event* stop,
                                         const VerifyProgress& progress = {});

// One line for a person, in the UI language ("Norva-BX01 (COM1): ...").
std::string DescribeUnitResult(const UnitVerifyResult& result);
// The headline and one line per unit.
std::string DescribeVerifyResult(const VerifyResult& result);

} // namespace norva::flow
