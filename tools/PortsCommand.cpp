#include "tools/PortsCommand.h"

#include "serial/SerialPortList.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"

#include <cstdio>
#include <string>

namespace norva::tools {

namespace {

// "COM33 (/dev/ttyUSB0)  /dev/serial/by-id/usb-...  FTDI FT232R USB UART  serial A5028"
std::string Describe(const SerialPortEntry& e) {
    std::string line = e.port + " (" + e.device + ")";
    if (!e.byId.empty()) {
        line += "  " + e.byId;
    }
    std::string product = e.vendor;
    if (!e.model.empty()) {
        product += (product.empty() ? "" : " ") + e.model;
    }
    if (!product.empty()) {
        line += "  " + product;
    }
    if (!e.serial.empty()) {
        line += "  serial " + e.serial;
    }
    return line;
}

} // namespace

int ListPorts(const CliOptions& opt) {
    CSerialPortList list;
    list.Enumerate();
    if (opt.json) {
        JsonReport report("ports");
        report.SetPorts(list.m_entries);
        std::printf("%s\n", report.Dump(kExitOk, {}).c_str());
        return kExitOk;
    }
    if (list.m_entries.empty()) {
        std::printf("No serial ports found.\n");
        return kExitOk;
    }
    for (const SerialPortEntry& e : list.m_entries) {
        std::printf("%s\n", Describe(e).c_str());
    }
    return kExitOk;
}

} // namespace norva::tools
