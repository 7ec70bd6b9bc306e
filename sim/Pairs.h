// Several independent simulated pairs in one process (norva-sim --pairs K): each pair is a
// Simulator of its own, with its own engine, ptys and thread; only identities and the numbering
// of ports and links tie them together.
#pragma once

#include "sim/Simulator.h"

#include <string>
#include <vector>

namespace norva::sim {

inline constexpr int kMaxPairs = 16;

// Unit 1 or 2 of pair P counts as unit 2P-1 or 2P across all pairs: its COM number with two
// ports, and the last byte of its default address.
int GlobalUnit(int pair, int unit);
std::string PairUnitAddress(int pair, int unit); // 00A0961B2C01, ... pair 2 unit 1: 00A0961B2C03
std::string PairUnitName(int pair, int unit);    // Norva-BX01, ... pair 2 unit 1: Norva-BX03

// The options of pair P (1-based) of K: the base options with the pair's own addresses, names,
// link names (unit<2P-1>, unit<2P>; one port com<P>) and trace file (<trace>.<P>). For K = 1
// the base options unchanged.
SimOptions PairOptions(const SimOptions& base, int pair, int pairs);

// The NORVAWIZARD_COM<n>=<path> assignments for running pairs (pairs[0] is pair 1): pair P's
// units as COM(2P-1) and COM(2P), or its one port as COM P.
std::vector<std::string> ComAssignments(const std::vector<Simulator*>& pairs);

} // namespace norva::sim
