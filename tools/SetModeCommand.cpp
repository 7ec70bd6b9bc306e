// `norvactl set-mode`: stores an operation mode, sent directly.

#include "tools/Session.h"
#include "tools/Subcommand.h"
#include "tools/Timing.h"

namespace norva::tools {
namespace {

class SetModeCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("N", m_mode, "operation mode 0..3")
            .transform(IntIn(0, 3, "a mode"))
            .required();
    }

private:
    int RunOn(Session& s) override {
        return s.Direct([this](CModuleControl& m) {
            return m.SetOpMode(catalogue::kApplyModeTimeoutMs, m_mode);
        });
    }

    int m_mode = 0;
};

} // namespace

const CommandRegistration kSetModeCommand{
    110,
    {"set-mode", "store operation mode N (0..3)", " (--port COMn | --device PATH) [PORT OPTIONS] N",
     "", PortOptions::Line, OutputOptions::JsonAndLog, Make<SetModeCommand>}};

} // namespace norva::tools
