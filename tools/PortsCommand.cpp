#include "tools/PortsCommand.h"

#include "serial/SerialPortList.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"

#include <cstdio>
#include <string>

namespace norva::tools {

int ListPorts(const CliOptions& opt) {
    CSerialPortList list;
    list.Enumerate();
    for (const std::string& warning : list.m_warnings) {
        std::fprintf(stderr, "norvactl: %s\n", warning.c_str());
    }
    if (opt.json) {
        JsonReport report("ports");
        report.SetPorts(list.m_entries);
        std::printf("%s\n", report.Dump(kExitOk, {}).c_str());
        return kExitOk;
    }
    if (list.m_entries.empty()) {
        std::printf("%s\n", NoPortsHint().c_str());
        return kExitOk;
    }
    for (const SerialPortEntry& e : list.m_entries) {
        std::printf("%s\n", DescribePort(e).c_str());
    }
    return kExitOk;
}

} // namespace norva::tools
