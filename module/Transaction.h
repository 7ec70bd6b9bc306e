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

// Returned by a token handler (and an after-scan check) to keep going.
inline constexpr int kGoOn = INT_MIN;

// A wait that took nothing: 0 time-out, -1 stop, -2 abort.
inline int WaitOutcome(int got) {
    switch (got) {
    case -1:
        return RC_STOPPED;
    case -2:
        return RC_ABORTED;
    default:
        return RC_TIMEOUT;
    }
}

// Formats a catalogue command; the format is always a catalogue literal.
std::string FormatCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Drops a pending data event and every byte received so far, so that only
// what arrives after the command is matched.
void FlushReceive(CSerialPort& port);

// True when the whole command went out.
bool SendCommand(CSerialPort& port, std::string_view text);

// The line skeleton from the first wait on: waits, appends, scans and keeps
// the unconsumed bytes until a handler returns a result. `onToken` sees each
// token of more than one byte; `afterScan` runs after every scan that did not
// end the transaction. A reply that outgrows the command's limit, or a token
// that cannot fit the accumulation, ends it with `overflowResult`.
template <class OnToken, class AfterScan>
int AwaitLines(CModuleControl& m, const catalogue::Command& cmd, int timeoutMs, int overflowResult,
               OnToken&& onToken, AfterScan&& afterScan) {
    static_assert(catalogue::kMaxAccumulation <= LineAccumulator::kMaxCapacity);
    static_assert(catalogue::kNoLimit == LineAccumulator::kNoLimit);
    LineAccumulator acc(cmd.accumulation, cmd.limit);
    for (;;) {
        // Take no more than fits: what is left waits in the receive buffer.
        const int room = acc.Room(cmd.perWait);
        if (room <= 0) {
            return overflowResult;
        }
        const int got = m.WaitForData(acc.Tail(), room, timeoutMs);
        if (got <= 0) {
            return WaitOutcome(got);
        }
        if (!acc.Commit(got)) {
            return RC_OVERFLOW;
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
int AwaitLines(CModuleControl& m, const catalogue::Command& cmd, int timeoutMs, OnToken&& onToken) {
    return AwaitLines(m, cmd, timeoutMs, RC_OVERFLOW, onToken, [] { return kGoOn; });
}

// OK ends with 0, ERROR with 1, every other token is dropped.
int OkOrError(std::string_view token);

} // namespace norva::detail
