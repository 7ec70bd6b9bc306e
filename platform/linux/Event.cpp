#include "platform/Event.h"

#include "platform/posix/FdWait.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace norva {

Event::Event(Mode mode) : m_native(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_mode(mode) {}

Event::~Event() {
    if (Valid()) {
        close(EventFd(this));
    }
}

bool Event::Valid() const {
    return m_native >= 0;
}

void Event::Set() {
    // The counter only needs to be non-zero; repeated sets collapse into one
    // because a read drains it whole.
    const uint64_t one = 1;
    ssize_t n = write(EventFd(this), &one, sizeof one);
    (void)n; // EAGAIN only when the counter is near overflow: still set
}

void Event::Reset() {
    uint64_t value = 0;
    ssize_t n = read(EventFd(this), &value, sizeof value);
    (void)n; // EAGAIN: it was not set
}

bool Event::IsSet() const {
    pollfd p{EventFd(this), POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

bool Event::TryTake() {
    if (m_mode == Mode::Manual) {
        return IsSet();
    }
    uint64_t value = 0;
    return read(EventFd(this), &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

int WaitAny(std::span<Event* const> events, int timeoutMs) {
    return WaitAnyOrFd(events, timeoutMs, nullptr);
}

int WaitAnyOrFd(std::span<Event* const> events, int timeoutMs, WaitFd* extra) {
    // A fixed array: the reader and every transaction wait here for each
    // chunk, so the wait must not allocate.
    pollfd fds[kMaxWaitObjects + 1];
    if (events.size() > kMaxWaitObjects) {
        errno = EINVAL;
        return kWaitFailed;
    }
    size_t used = 0;
    for (Event* e : events) {
        if (e == nullptr || !e->Valid()) {
            errno = EBADF;
            return kWaitFailed;
        }
        fds[used++] = {EventFd(e), POLLIN, 0};
    }
    if (extra != nullptr) {
        fds[used++] = {extra->fd, extra->events, 0};
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int wait = timeoutMs < 0 ? -1 : RemainingMs(deadline);
        const int ready = poll(fds, used, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kWaitFailed;
        }
        if (ready == 0) {
            if (timeoutMs >= 0 && RemainingMs(deadline) == 0) {
                return kWaitTimeout;
            }
            continue;
        }
        for (size_t i = 0; i < events.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0 && events[i]->TryTake()) {
                return static_cast<int>(i);
            }
            // Another waiter took this auto-reset event first: keep waiting.
        }
        if (extra != nullptr && fds[used - 1].revents != 0) {
            extra->revents = fds[used - 1].revents;
            return static_cast<int>(events.size());
        }
        if (timeoutMs >= 0 && RemainingMs(deadline) == 0) {
            return kWaitTimeout;
        }
    }
}

bool SleepUnlessSet(const Event* stop, int ms) {
    if (stop == nullptr || !stop->Valid()) {
        usleep(static_cast<useconds_t>(ms) * 1000);
        return false;
    }
    pollfd p{EventFd(stop), POLLIN, 0};
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int r = poll(&p, 1, RemainingMs(deadline));
        if (r > 0) {
            return true;
        }
        if (r == 0 || errno != EINTR) {
            return false;
        }
    }
}

} // namespace norva
