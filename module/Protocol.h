#pragma once
// Result codes, job slots, job ids, operation codes and link states.
//
// How module/ reports errors: each transaction returns a ResultCode (the
// numbers the module's design fixes, kept inside module/ and on the job
// result); callers above read a job's end as a JobOutcome (module/Job.h) with
// its step and reason, and a failed open as an OsError.

namespace norva {

enum ResultCode : int {
    RC_STOPPED = -1,
    RC_OK = 0,
    RC_ERROR = 1,
    RC_CONNECTED = 2,
    RC_DISCONNECTED = 3,
    RC_TIMEOUT = 4,
    RC_ABORTED = 5,
    RC_DONE = 6,
    RC_OVERFLOW = 7,
    RC_ERROR_AFTER_OK = 9,
    RC_NO_VALUE = 10,
    // The device went away (unplugged, or the other end of the line closed):
    // not the module's answer, so callers can tell it from a time-out.
    RC_DEVICE_GONE = 11,
    // A status read after a restart shows another setting than the one
    // stored (norvactl apply --verify).
    RC_NOT_STORED = 12,
};

// Job event slots, in the worker's wait order (lowest first).
enum JobSlot : int {
    EV_STOP = 0, // manual-reset
    EV_ABORT = 1,
    EV_STATUS = 2,
    EV_CANCEL_CMD = 3,
    EV_CONNECT = 4,
    EV_DISCONNECT = 5,
    EV_ESCAPE = 6,
    EV_SCAN = 7,
    EV_INQUIRY = 8,
    EV_READ_SREG = 9,
    EV_APPLY = 10,
    EV_RESET = 11,
    EV_SET_MODE = 12,
    EV_RETURN_ONLINE = 13,
};
inline constexpr int kJobEventCount = 14;

// Job ids reported with a result; they share one number space with m_nCurOp.
enum JobId : int {
    JOB_CONNECT = 2,
    JOB_DISCONNECT = 3,
    JOB_RESET = 5,
    JOB_ESCAPE = 8,
    JOB_STATUS = 9,
    JOB_CANCEL_CMD = 10,
    JOB_SCAN = 11,
    JOB_INQUIRY = 12,
    JOB_READ_SREG = 20,
    JOB_APPLY = 21,
    JOB_SET_MODE = 22,
    JOB_RETURN_ONLINE = 23,
};

// Operation codes written into m_nCurOp.
enum OpCode : int {
    OP_NONE = 0,
    OP_CONNECT = 2,
    OP_DISCONNECT = 3,
    OP_RESET = 5,
    OP_STATUS = 9,
    OP_SCAN = 11,
    OP_INQUIRY = 12,
    OP_SET_MODE = 17,
    OP_SET_UART = 18,
    OP_WRITE_SREG = 19,
};

enum LinkState : int {
    LINK_STANDBY = 0,
    LINK_PENDING = 1,
    LINK_CONNECTED = 2,
    LINK_DISCONNECTING = 3,
};

// The status query and the status job report a status read with this number
// (the same as RC_ERROR) and anything else when none was read: 0 for no
// status, or the code that ended the job.
inline constexpr int kStatusRead = 1;
constexpr bool StatusWasRead(int code) {
    return code == kStatusRead;
}

// Why a status query ended without a status, for callers that explain it.
enum StatusFailure : int {
    STATUS_READ_OK = 0,
    STATUS_NO_ANSWER = 1,   // nothing, or nothing that could be read, came back
    STATUS_REFUSED = 2,     // the module answered ERROR
    STATUS_UNREADABLE = 3,  // a reply came that is not a status line
    STATUS_INTERRUPTED = 4, // stopped, aborted or the device went away
};

// Outcomes that end a transaction whatever it was waiting for: nothing more is sent after them.
constexpr bool EndsTransaction(int result) {
    return result == RC_STOPPED || result == RC_ABORTED || result == RC_DEVICE_GONE;
}

// CModuleControl::WaitForData's count for a wait that took nothing, as a result code: 0 time-out,
// -1 stop, -2 abort, -3 device gone.
constexpr int WaitOutcome(int got) {
    return got == -1   ? RC_STOPPED
           : got == -2 ? RC_ABORTED
           : got == -3 ? RC_DEVICE_GONE
                       : RC_TIMEOUT;
}

// Name of a result code for tools and logs ("RC_OK", ...).
const char* ResultCodeName(int code);

} // namespace norva
