// `norvactl cancel`: ends a pending scan, search or connect.

#include "tools/Session.h"

namespace norva::tools {

extern const CommandSpec kCancelCommand{"cancel",
                                        "cancel a pending scan, search or connect (cancel job)",
                                        kPortSynopsis,
                                        "",
                                        PortOptions::Line,
                                        OutputOptions::JsonAndLog,
                                        Make<PlainJobCommand<Job::CancelCommand>>};

} // namespace norva::tools
