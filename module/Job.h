#pragma once
// The jobs the worker runs, what a caller gives to start one, and what it
// hands back. A job's slot, its reported id and the step code it leaves in
// CurOp() are three numbers the module's design fixes; they are joined here
// once, so that nobody above this header maps one to another by hand.

#include "module/Protocol.h"

#include <optional>
#include <string>

namespace norva {

enum class Job {
    Status,
    CancelCommand,
    Connect,
    Disconnect,
    Escape,
    Scan,
    Inquiry,
    ReadRegister,
    Apply,
    Reset,
    // The operation mode alone, without the UART (a unit left in an
    // auto-connect mode is set back to 0 before it is paired).
    SetMode,
    // "ATO" and the moment the module needs after it: back to a link's data mode.
    ReturnOnline,
};

struct JobFacts {
    Job job;
    JobSlot slot;
    JobId id;
    const char* name; // as tools print it
};

inline constexpr JobFacts kJobFacts[] = {
    {Job::Status, EV_STATUS, JOB_STATUS, "status"},
    {Job::CancelCommand, EV_CANCEL_CMD, JOB_CANCEL_CMD, "cancel"},
    {Job::Connect, EV_CONNECT, JOB_CONNECT, "connect"},
    {Job::Disconnect, EV_DISCONNECT, JOB_DISCONNECT, "disconnect"},
    {Job::Escape, EV_ESCAPE, JOB_ESCAPE, "escape"},
    {Job::Scan, EV_SCAN, JOB_SCAN, "scan"},
    {Job::Inquiry, EV_INQUIRY, JOB_INQUIRY, "inquiry"},
    {Job::ReadRegister, EV_READ_SREG, JOB_READ_SREG, "read-sreg"},
    {Job::Apply, EV_APPLY, JOB_APPLY, "apply"},
    {Job::Reset, EV_RESET, JOB_RESET, "reset"},
    {Job::SetMode, EV_SET_MODE, JOB_SET_MODE, "set-mode"},
    {Job::ReturnOnline, EV_RETURN_ONLINE, JOB_RETURN_ONLINE, "return-online"},
};

constexpr const JobFacts& FactsOf(Job job) {
    for (const JobFacts& f : kJobFacts) {
        if (f.job == job) {
            return f;
        }
    }
    return kJobFacts[0];
}
constexpr JobSlot SlotOf(Job job) {
    return FactsOf(job).slot;
}
constexpr JobId IdOf(Job job) {
    return FactsOf(job).id;
}
constexpr std::optional<Job> JobOfSlot(int slot) {
    for (const JobFacts& f : kJobFacts) {
        if (f.slot == slot) {
            return f.job;
        }
    }
    return std::nullopt;
}

// The settings one unit is asked to store: operation mode and UART setting.
struct StoredSettings {
    int mode = 0;
    int baud = 9600;
    int parity = 0;   // platform code: 0 none, 2 even
    int stopBits = 0; // platform code: 0 one, 2 two
    int flow = 1;     // 1 = RTS/CTS
    friend bool operator==(const StoredSettings&, const StoredSettings&) = default;
};

struct ScanSettings {
    int mode = 3;
    int timeMs = 300;
};

// One job and everything it needs; only the fields of its kind are read.
struct JobRequest {
    Job job = Job::Status;
    std::string address; // Connect: whom to dial
    int sRegister = 0;   // ReadRegister
    int mode = 0;        // SetMode
    ScanSettings scan;   // Scan
    // What an Apply stores, also the one a Disconnect chains (thenApply);
    // none: the settings of the last request stay.
    std::optional<StoredSettings> apply;
    // Disconnect: once the link is hung up, the apply runs as part of the
    // job, and only its result is posted.
    bool thenApply = false;

    static JobRequest Of(Job job) {
        JobRequest r;
        r.job = job;
        return r;
    }
    static JobRequest ConnectTo(std::string address) {
        JobRequest r = Of(Job::Connect);
        r.address = std::move(address);
        return r;
    }
    static JobRequest ReadRegisterNo(int reg) {
        JobRequest r = Of(Job::ReadRegister);
        r.sRegister = reg;
        return r;
    }
    static JobRequest SetModeTo(int mode) {
        JobRequest r = Of(Job::SetMode);
        r.mode = mode;
        return r;
    }
    static JobRequest ScanWith(ScanSettings scan) {
        JobRequest r = Of(Job::Scan);
        r.scan = scan;
        return r;
    }
    static JobRequest Store(StoredSettings apply) {
        JobRequest r = Of(Job::Apply);
        r.apply = apply;
        return r;
    }
};

// What the apply job did besides its result code.
struct ApplyReport {
    // Used the short UART form while no flow control was asked: the module
    // keeps RTS/CTS.
    bool flowNotStored = false;
    // Told the user of the firmware mismatch in a box already.
    bool firmwareBoxShown = false;
    // What the module acknowledged (after a failure part of it may be
    // stored already).
    bool modeAcked = false;
    bool uartAcked = false;
    // The UART command form acknowledged: 4 arguments (with flow control)
    // or 3; 0 while none was.
    int uartArgs = 0;
};

// How the last job ended, for callers that explain it.
struct JobOutcome {
    Job job = Job::Status;
    int code = RC_OK;
    // The step under way when it ended (OpCode), e.g. OP_SET_UART.
    int step = OP_NONE;
    // A status job that read nothing: why (StatusFailure).
    int statusFailure = STATUS_READ_OK;
};

} // namespace norva
