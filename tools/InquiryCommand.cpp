// `norvactl inquiry`: the search, its devices printed as they are found.

#include "tools/Session.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class InquiryCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("--timeout", m_timeoutMs, "end the search after MS milliseconds")
            .transform(IntIn(1, 86400000, "milliseconds"))
            .type_name("MS");
    }

private:
    int RunOn(Session& s) override {
        std::optional<JobResult> r = s.RunJob(JobRequest::Of(Job::Inquiry), m_timeoutMs);
        if (!r) {
            return kExitInterrupted;
        }
        const bool aborted = r->code == RC_ABORTED;
        const bool cancelled = aborted && s.CancelAfterAbort();
        s.Report().SetDevices(s.Host().Rows());
        if (aborted && s.LimitReached() && !s.Interrupted()) {
            // The search was ended by --timeout, as the user asked.
            s.Report().SetTimeLimitReached();
            return s.Finish(JOB_INQUIRY, r->code, cancelled,
                            "search stopped after " + std::to_string(m_timeoutMs) + " ms\n");
        }
        return s.Finish(JOB_INQUIRY, r->code, r->code == RC_DONE);
    }

    int m_timeoutMs = -1; // until the module ends the list
};

} // namespace

const CommandRegistration kInquiryCommand{
    80,
    {"inquiry", "search for devices, printing them as they are found (inquiry job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--timeout MS]",
     "--timeout ends the search after MS milliseconds the way the wizard's\n"
     "Cancel Search does (abort, then \"AT+BTCANCEL\").\n",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<InquiryCommand>}};

} // namespace norva::tools
