// `norvactl escape`: "+++" back to command mode.

#include "tools/Session.h"

namespace norva::tools {

const CommandRegistration kEscapeCommand{
    50,
    {"escape", "leave data mode with \"+++\" (escape job)", kPortSynopsis, "", PortOptions::Line,
     OutputOptions::JsonAndLog, Make<PlainJobCommand<Job::Escape>>}};

} // namespace norva::tools
