#pragma once
// The pairing flow's and Verify's own waits, beside the module's in module/Catalogue.h.

namespace norva::flow {

// Closing during a connect attempt waits this long for the module to confirm the cancel.
inline constexpr int kCloseCancelMs = 1000;
// Data sent through a link that may be live, to prove an end that does not name its partner.
inline constexpr int kLinkProofIntervalMs = 1000;
// One unit deaf to its probes is asked for its status at most this often.
inline constexpr int kQuietCheckIntervalMs = 3000;

} // namespace norva::flow
