// `norvactl cancel`: ends a pending scan, search or connect.

#include "tools/Session.h"

namespace norva::tools {

const CommandRegistration kCancelCommand{
    60,
    {"cancel", "cancel a pending scan, search or connect (cancel job)", kPortSynopsis, "",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<PlainJobCommand<Job::CancelCommand>>}};

} // namespace norva::tools
