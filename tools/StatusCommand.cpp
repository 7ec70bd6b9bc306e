// `norvactl status`: the status job and the status it read.

#include "tools/Session.h"

namespace norva::tools {
namespace {

std::string StatusText(const ModuleInfoData& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "address: %s\nname: %s\nmode: %d\nlink: %s\nflags: %d %d\nflow-control: %s\n",
                  s.m_szAddress, s.m_szName, s.m_nOpMode, LinkName(s.m_nLinkState), s.m_nInfoFlag5,
                  s.m_nInfoFlag6, s.m_nFlowControl == 1 ? "HWFC" : "NoFC");
    return text;
}

class StatusCommand : public ModuleCommand {
    int RunOn(Session& s) override {
        std::optional<JobResult> r = s.RunJob(JobRequest::Of(Job::Status));
        if (!r) {
            return kExitInterrupted;
        }
        const bool read = StatusWasRead(r->code);
        return s.Finish(JOB_STATUS, r->code, read,
                        read ? StatusText(s.Module().LastStatus()) : std::string());
    }
};

} // namespace

const CommandRegistration kStatusCommand{
    20,
    {"status", "check the module and read its status (status job)", kPortSynopsis, "",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<StatusCommand>}};

} // namespace norva::tools
