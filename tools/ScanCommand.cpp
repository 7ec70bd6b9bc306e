// `norvactl scan`: makes the module discoverable and connectable.

#include "tools/Session.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class ScanCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("--mode", m_mode, "scan mode (default 3)")
            .transform(IntIn(0, 3, "a mode"))
            .type_name("M");
        sub.add_option("--time", m_time, "seconds discoverable (default 3000, 0 = no limit)")
            .transform(IntIn(0, 100000, "seconds"))
            .type_name("S");
    }

private:
    int RunOn(Session& s) override { return s.SimpleJob(JobRequest::ScanWith({m_mode, m_time})); }

    int m_mode = 3;
    int m_time = 3000;
};

} // namespace

const CommandRegistration kScanCommand{
    70,
    {"scan", "make the module discoverable and connectable (scan job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--mode M] [--time S]",
     "--mode M is the scan mode, --time S the seconds the module stays discoverable\n"
     "(0 = no limit), as the wizard sends them. A module that does not confirm the\n"
     "scan within a few seconds counts as not answering.\n",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<ScanCommand>}};

} // namespace norva::tools
