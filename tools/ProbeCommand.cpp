// `norvactl probe`: "AT" and its OK, sent directly.

#include "tools/Session.h"
#include "tools/Timing.h"

namespace norva::tools {
namespace {

class ProbeCommand : public ModuleCommand {
    int RunOn(Session& s) override {
        return s.Direct([](CModuleControl& m) { return m.Probe(timing::kDirectReplyMs); });
    }
};

} // namespace

const CommandRegistration kProbeCommand{30,
                                        {"probe", "send \"AT\" and wait for OK", kPortSynopsis, "",
                                         PortOptions::Line, OutputOptions::JsonAndLog,
                                         Make<ProbeCommand>}};

} // namespace norva::tools
