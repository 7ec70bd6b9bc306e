#include "platform/Console.h"

#include "platform/posix/FdWait.h"

#include <array>
#include <poll.h>
#include <unistd.h>

namespace norva {

void PrepareConsole() {}

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

int ReadStdinByte(const Event* stop, char* c) {
    std::array<Event*, 1> events{const_cast<Event*>(stop)};
    WaitFd in{STDIN_FILENO, POLLIN, 0};
    const int r = WaitAnyOrFd(events, -1, &in);
    if (r == 0) {
        return 0;
    }
    return r == 1 && read(STDIN_FILENO, c, 1) == 1 ? 1 : -1;
}

} // namespace norva
