#pragma once
// The two transaction skeletons shared by every command (internal to module/).

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "module/ReplyParser.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace norva::detail {

// The transaction skeletons work on the controller's port itself.
struct PortAccess {
    static CSerialPort& Port(CModuleControl& m) { return m.m_port; }
    static const Event* Stop(const CModuleControl& m) { return m.JobEvent(EV_STOP); }
    static void NoteEcho(CModuleControl& m) { m.m_bEchoSeen.store(true); }
};

// Returned by a token handler (and an after-scan check) to keep going.
inline constexpr int kGoOn = INT_MIN;

// The skeletons' names for the shared facts (module/Protocol.h).
inline int WaitOutcome(int got) {
    return norva::WaitOutcome(got);
}
inline bool Interrupted(int result) {
    return EndsTransaction(result);
}

// Formats a catalogue command; the format is always a catalogue literal.
std::string FormatCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Drops a pending data event and every byte received so far, so that only
// what arrives after the command is matched.
void FlushReceive(CSerialPort& port);

// Writes the whole command: RC_OK once it is on the line, RC_STOPPED when
// EV_STOP is set (before anything was sent, nothing is), RC_DEVICE_GONE when
// the device went away, RC_ERROR for any other short write.
int SendCommand(CModuleControl& m, std::string_view text);

// The line skeleton from the first wait on: waits, appends, scans and keeps
// the unconsumed bytes until a handler returns a result. An echo of `sent`
// before the reply is dropped. `onToken` sees each
// token of more than one byte; `afterScan` runs after every scan that did not
// end the transaction. A reply that outgrows the command's limit ends it with
// `overflowResult` (RC_OVERFLOW when a commit finds it); without a limit, a
// line that cannot fit the accumulation is skipped, and one that does not end
// within kMaxSkippedLine bytes ends it with RC_OVERFLOW.
template <class OnToken, class AfterScan>
int AwaitLines(CModuleControl& m, const catalogue::Command& cmd, std::string_view sent,
               int timeoutMs, int overflowResult, OnToken&& onToken, AfterScan&& afterScan) {
    static_assert(catalogue::kMaxAccumulation <= LineAccumulator::kMaxCapacity);
    static_assert(catalogue::kNoLimit == LineAccumulator::kNoLimit);
    LineAccumulator acc(cmd.accumulation, cmd.limit, catalogue::kMaxSkippedLine);
    acc.ExpectEcho(sent);
    for (;;) {
        // Take no more than fits: what is left waits in the receive buffer.
        const int room = acc.Room(cmd.perWait);
        if (room <= 0) {
            // A line too long to hold (a long name, line noise) costs only
            // itself: the lines after it are still read.
            if (!acc.SkipLongLine()) {
                return overflowResult;
            }
            continue;
        }
        const int got = m.WaitForData(acc.Tail(), room, timeoutMs);
        if (got <= 0) {
            return WaitOutcome(got);
        }
        if (!acc.Commit(got)) {
            return RC_OVERFLOW;
        }
        if (acc.EchoDropped()) {
            PortAccess::NoteEcho(m);
        }
        int result = kGoOn;
        acc.Scan([&](std::string_view token) {
            result = onToken(token);
            return result == kGoOn;
        });
        if (result != kGoOn) {
            return result;
        }
        const int after = afterScan();
        if (after != kGoOn) {
            return after;
        }
    }
}

template <class OnToken>
int AwaitLines(CModuleControl& m, const catalogue::Command& cmd, std::string_view sent,
               int timeoutMs, OnToken&& onToken) {
    return AwaitLines(m, cmd, sent, timeoutMs, RC_OVERFLOW, onToken, [] { return kGoOn; });
}

// OK ends with 0, ERROR with 1, every other token is dropped.
int OkOrError(std::string_view token);

} // namespace norva::detail
