// `norvactl set-uart`: stores a UART setting, sent directly.

#include "tools/Session.h"
#include "tools/Subcommand.h"
#include "tools/Timing.h"

namespace norva::tools {
namespace {

class SetUartCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("BAUD", m_baud, "baud rate").transform(ModuleBaud()).required();
        sub.add_option("PARITY", m_parity, "none or even").transform(ModuleParityName()).required();
        sub.add_option("STOP", m_stopBits, "1 or 2").transform(StopBits()).required();
        sub.add_flag("--no-flow", m_noFlow, "no hardware flow control");
    }

private:
    int RunOn(Session& s) override {
        return s.Direct([this](CModuleControl& m) {
            return m.SetUartConfig(timing::kDirectReplyMs, m_baud, m_parity, m_stopBits,
                                   m_noFlow ? 0 : 1);
        });
    }

    int m_baud = 0;
    int m_parity = 0;
    int m_stopBits = 0;
    bool m_noFlow = false;
};

} // namespace

const CommandRegistration kSetUartCommand{
    120,
    {"set-uart", "store the module's UART setting",
     " (--port COMn | --device PATH) [PORT OPTIONS] BAUD PARITY STOP [--no-flow]",
     "PARITY is none or even (the module cannot store odd); STOP is 1 or 2. The\n"
     "module uses hardware flow control unless --no-flow is given.\n",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<SetUartCommand>}};

} // namespace norva::tools
