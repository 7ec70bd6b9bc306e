// `norvactl disconnect`: as the wizard does for a connected module: read the
// status, then the pairing flow's own row returns the link online, escapes
// and hangs up.

#include "flow/PairingController.h"
#include "flow/PairingFlow.h"
#include "tools/PairView.h"
#include "tools/Session.h"

namespace norva::tools {
namespace {

class DisconnectCommand : public ModuleCommand {
    int RunOn(Session& s) override {
        std::optional<JobResult> status = s.RunJob(JobRequest::Of(Job::Status));
        if (!status) {
            return kExitInterrupted;
        }
        if (!StatusWasRead(status->code)) {
            return s.Finish(JOB_STATUS, status->code, false);
        }
        PairSetup setup;
        ProgressOutput out(stderr);
        PairView view(setup, out, "note: ");
        flow::PairingJobs controller(s.Module());
        flow::CPairingFlow flow(view);
        flow.Attach(&controller);
        if (!flow.HangUpIfLinked()) {
            const ModuleInfoData& read = s.Module().LastStatus();
            s.Report().SetResult(JOB_STATUS, status->code, ResultName(JOB_STATUS, status->code));
            s.Report().SetStatus(read);
            s.AddText(std::string("not connected (link: ") + LinkName(read.m_nLinkState) + ")\n");
            return kExitOk;
        }
        // The flow's return to data mode is a job of its own; its result starts the hang-up.
        std::optional<JobResult> r = s.Await({JOB_RETURN_ONLINE}, -1);
        if (!r) {
            return kExitInterrupted;
        }
        flow.OnJobResult(r->code, r->jobId);
        if (flow.JobsStarted() < 2) {
            // The line went away under it: no hang-up follows.
            return s.Finish(r->jobId, r->code, false);
        }
        r = s.Await({JOB_DISCONNECT, JOB_ESCAPE}, -1);
        if (!r) {
            return kExitInterrupted;
        }
        return s.Finish(r->jobId, r->code,
                        r->jobId == JOB_DISCONNECT && r->code == RC_DISCONNECTED);
    }
};

} // namespace

const CommandRegistration kDisconnectCommand{
    100,
    {"disconnect", "read the status and hang up a connected link (disconnect job)", kPortSynopsis,
     "", PortOptions::Line, OutputOptions::JsonAndLog, Make<DisconnectCommand>}};

} // namespace norva::tools
