// `norvactl reset`: restarts the module.

#include "tools/Session.h"

namespace norva::tools {

const CommandRegistration kResetCommand{160,
                                        {"reset", "restart the module (reset job)", kPortSynopsis,
                                         "", PortOptions::Line, OutputOptions::JsonAndLog,
                                         Make<PlainJobCommand<Job::Reset>>}};

} // namespace norva::tools
