#pragma once
// norvactl's own waits and limits, in one place; the module's are in
// module/Catalogue.h, the flow's in flow/Timing.h.

#include "module/Catalogue.h"

namespace norva::tools::timing {

// pair: a job gets this long to report before the run calls it stuck.
inline constexpr int kJobStallMs = 60000;
// pair: the search ends after this long; the connect follows it.
inline constexpr int kSearchLimitMs = 30000;
// pair, one port: how often the port is tried for the other unit.
inline constexpr int kWaitUnitPollMs = 1000;
// pair: a status job of the run's own escapes a link first: a few of its own steps at most.
inline constexpr int kStatusJobLimitMs = 15000;
// pair: the cancel that takes unit 1 out of discoverable mode, and its report.
inline constexpr int kCancelJobLimitMs = catalogue::kCancelJobTimeoutMs + 2000;
// After Ctrl-C: how long the cancel sent to a dialling or searching unit may take.
inline constexpr int kCancelAfterSignalMs = 10000;
// probe, set-uart, write-sreg: the reply to a command sent directly.
inline constexpr int kDirectReplyMs = 2000;
// traits: a module that sends back every byte as it arrives does so within a
// few character times; this is ample at any rate.
inline constexpr int kTypedEchoMs = 250;
// traits: a reply's lines leave one after the other: an OK not in by then came
// with the value line.
inline constexpr int kTrailingOkMs = 300;

} // namespace norva::tools::timing
