// `norvactl write-sreg`: stores a value in an S-register, sent directly.

#include "tools/Session.h"
#include "tools/Subcommand.h"
#include "tools/Timing.h"

namespace norva::tools {
namespace {

class WriteSregCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("N", m_reg, "register number 0..255")
            .transform(IntIn(0, 255, "a register"))
            .required();
        sub.add_option("V", m_value, "value 0..65535")
            .transform(IntIn(0, 65535, "a value"))
            .required();
    }

private:
    int RunOn(Session& s) override {
        return s.Direct([this](CModuleControl& m) {
            return m.WriteSRegister(timing::kDirectReplyMs, m_reg, m_value);
        });
    }

    int m_reg = 0;
    int m_value = 0;
};

} // namespace

const CommandRegistration kWriteSregCommand{
    150,
    {"write-sreg", "write value V (0..65535) into S-register N",
     " (--port COMn | --device PATH) [PORT OPTIONS] N V", "", PortOptions::Line,
     OutputOptions::JsonAndLog, Make<WriteSregCommand>}};

} // namespace norva::tools
