// `norvactl connect`: dials a device by its address.

#include "tools/Session.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class ConnectCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("ADDR", m_address, "the device's address, e.g. 00:12:A1:00:00:01")
            .transform(Address())
            .required();
    }

private:
    int RunOn(Session& s) override { return s.SimpleJob(JobRequest::ConnectTo(m_address)); }

    std::string m_address;
};

} // namespace

const CommandRegistration kConnectCommand{
    90,
    {"connect", "dial a device by its 12-digit address (connect job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] ADDR", "", PortOptions::Line,
     OutputOptions::JsonAndLog, Make<ConnectCommand>}};

} // namespace norva::tools
