// `norvactl ports`: the COM ports present, with their by-id link and USB details.

#include "serial/SerialPortList.h"
#include "tools/Command.h"

namespace norva::tools {
namespace {

class PortsCommand : public Command {
    CommandResult Run(const CommonOptions& common) override {
        CommandResult result(common.command);
        CSerialPortList list;
        list.Enumerate();
        result.notes = list.m_warnings;
        result.report.SetPorts(list.m_entries);
        if (list.m_entries.empty()) {
            result.text = NoPortsHint() + "\n";
        }
        for (const SerialPortEntry& e : list.m_entries) {
            result.text += DescribePort(e) + "\n";
        }
        return result;
    }
};

} // namespace

const CommandRegistration kPortsCommand{
    10,
    {"ports", "list the serial ports present as \"COMn (device)\" with their USB details", "", "",
     PortOptions::None, OutputOptions::Json, Make<PortsCommand>}};

} // namespace norva::tools
