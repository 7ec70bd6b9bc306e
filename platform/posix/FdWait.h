#pragma once
// Linux only: a wait on events and one more descriptor in a single poll().

#include "platform/Event.h"

namespace norva {

struct WaitFd {
    int fd = -1;
    short events = 0;  // poll() events asked for
    short revents = 0; // what poll() reported when the wait returned its index
};

inline int EventFd(const Event* e) {
    return static_cast<int>(e->Native());
}

// As WaitAny; returns events.size() when only `extra` is ready (errno set on
// kWaitFailed).
int WaitAnyOrFd(std::span<Event* const> events, int timeoutMs, WaitFd* extra);

} // namespace norva
