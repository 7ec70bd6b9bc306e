#include "sim/Pairs.h"

#include <cstdio>

namespace norva::sim {

int GlobalUnit(int pair, int unit) {
    return 2 * (pair - 1) + unit;
}

std::string PairUnitAddress(int pair, int unit) {
    char text[16];
    std::snprintf(text, sizeof text, "00A0961B2C%02X", GlobalUnit(pair, unit) & 0xFF);
    return text;
}

std::string PairUnitName(int pair, int unit) {
    return "Norva-BX" + std::string(GlobalUnit(pair, unit) < 10 ? "0" : "") +
           std::to_string(GlobalUnit(pair, unit));
}

SimOptions PairOptions(const SimOptions& base, int pair, int pairs) {
    if (pairs <= 1) {
        return base;
    }
    SimOptions o = base;
    for (int u = 1; u <= 2; ++u) {
        o.unit[u - 1].address = PairUnitAddress(pair, u);
        o.unit[u - 1].name = PairUnitName(pair, u);
        o.linkNames[u - 1] = base.onePort ? (u == 1 ? "com" + std::to_string(pair) : std::string())
                                          : "unit" + std::to_string(GlobalUnit(pair, u));
    }
    if (!base.tracePath.empty()) {
        o.tracePath = base.tracePath + "." + std::to_string(pair);
    }
    return o;
}

std::vector<std::string> ComAssignments(const std::vector<Simulator*>& pairs) {
    std::vector<std::string> lines;
    int com = 0;
    for (const Simulator* sim : pairs) {
        for (int unit = 1; unit <= (sim->Options().onePort ? 1 : 2); ++unit) {
            std::string link = sim->LinkPath(unit);
            lines.push_back("NORVAWIZARD_COM" + std::to_string(++com) + "=" +
                            (link.empty() ? sim->DevicePath(unit) : link));
        }
    }
    return lines;
}

} // namespace norva::sim
