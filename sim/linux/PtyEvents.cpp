#include "sim/PtyEvents.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace norva::sim {

WakeFd::~WakeFd() {
    Close();
}

bool WakeFd::Open() {
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_fd >= 0;
}

void WakeFd::Signal() const {
    if (m_fd >= 0) {
        std::uint64_t one = 1;
        ssize_t n = write(m_fd, &one, sizeof one);
        (void)n; // a full counter already wakes the loop
    }
}

void WakeFd::Clear() const {
    std::uint64_t count = 0;
    ssize_t n = read(m_fd, &count, sizeof count);
    (void)n;
}

void WakeFd::Close() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

SlaveWatch::~SlaveWatch() {
    Close();
}

bool SlaveWatch::Open() {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return m_fd >= 0;
}

int SlaveWatch::Add(const std::string& slavePath) {
    return m_fd >= 0 ? inotify_add_watch(m_fd, slavePath.c_str(), IN_OPEN | IN_CLOSE) : -1;
}

void SlaveWatch::Remove(int watch) {
    if (m_fd >= 0 && watch >= 0) {
        inotify_rm_watch(m_fd, watch);
    }
}

std::vector<SlaveWatch::Change> SlaveWatch::Read() {
    std::vector<Change> changes;
    if (m_fd < 0) {
        return changes;
    }
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = read(m_fd, buf, sizeof buf);
        if (n <= 0) {
            return changes;
        }
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            if (ev->mask & IN_Q_OVERFLOW) {
                changes.push_back({Kind::CountsLost, -1});
            } else if (ev->mask & IN_OPEN) {
                changes.push_back({Kind::Opened, ev->wd});
            } else if (ev->mask & IN_CLOSE) {
                changes.push_back({Kind::Closed, ev->wd});
            }
        }
    }
}

void SlaveWatch::Close() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

} // namespace norva::sim
