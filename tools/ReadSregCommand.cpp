// `norvactl read-sreg`: one S-register's value.

#include "tools/Session.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class ReadSregCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("N", m_reg, "register number 0..255")
            .transform(IntIn(0, 255, "a register"))
            .required();
    }

private:
    int RunOn(Session& s) override {
        std::optional<JobResult> r = s.RunJob(JobRequest::ReadRegisterNo(m_reg));
        if (!r) {
            return kExitInterrupted;
        }
        const bool ok = r->code == RC_OK;
        std::string text;
        if (ok) {
            const std::string value = s.Module().RegisterValue();
            s.Report().SetValue(value);
            text = "S" + std::to_string(m_reg) + ": " + value + "\n";
        }
        return s.Finish(JOB_READ_SREG, r->code, ok, text);
    }

    int m_reg = 0;
};

} // namespace

const CommandRegistration kReadSregCommand{140,
                                           {"read-sreg", "read S-register N (S-register read job)",
                                            " (--port COMn | --device PATH) [PORT OPTIONS] N", "",
                                            PortOptions::Line, OutputOptions::JsonAndLog,
                                            Make<ReadSregCommand>}};

} // namespace norva::tools
