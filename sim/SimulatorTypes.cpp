#include "sim/Simulator.h"

#include <vector>

namespace norva::sim {

bool operator==(const UartSetting& a, const UartSetting& b) {
    return a.baud == b.baud && a.parity == b.parity && a.stopBits == b.stopBits && a.flow == b.flow;
}

std::string DescribeUart(const UartSetting& uart) {
    return std::to_string(uart.baud) + "," + uart.parity + "," + std::to_string(uart.stopBits) +
           "," + (uart.flow ? "HWFC" : "NoFC");
}

const char* LinkStateText(LinkState state) {
    switch (state) {
    case LinkState::Standby:
        return "STANDBY";
    case LinkState::Pending:
        return "PENDING";
    case LinkState::Connected:
        return "CONNECT";
    }
    return "STANDBY";
}

namespace {

std::string DescribeUnit(int index, const UnitVerdict& u) {
    std::string text = "unit " + std::to_string(index) + " " + u.name + " (" + u.address +
                       "): mode " + std::to_string(u.mode) + ", UART " + DescribeUart(u.uart) +
                       ", ";
    if (u.peer.empty()) {
        text += "remembers no peer";
    } else {
        text += "remembers " + u.peer;
        text += u.peerUnit ? " (unit " + std::to_string(u.peerUnit) + ")" : " (not a unit here)";
    }
    return text + "\n";
}

} // namespace

std::string Verdict::Describe() const {
    std::string text = DescribeUnit(1, unit[0]) + DescribeUnit(2, unit[1]);
    if (wouldAutoConnect) {
        return text + "verdict: the pair would auto-connect after a power cycle\n";
    }
    std::vector<std::string> why;
    if (unit[0].mode != 2) {
        why.push_back("unit 1 is in mode " + std::to_string(unit[0].mode) + ", needs mode 2");
    }
    if (unit[0].peerUnit != 2) {
        why.push_back("unit 1 does not remember unit 2");
    }
    if (unit[1].mode != 1) {
        why.push_back("unit 2 is in mode " + std::to_string(unit[1].mode) + ", needs mode 1");
    }
    if (unit[1].peerUnit != 1) {
        why.push_back("unit 2 does not remember unit 1");
    }
    text += "verdict: the pair would not auto-connect after a power cycle (";
    for (size_t i = 0; i < why.size(); ++i) {
        text += (i ? "; " : "") + why[i];
    }
    return text + ")\n";
}

} // namespace norva::sim
