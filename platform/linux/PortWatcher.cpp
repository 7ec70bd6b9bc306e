#include "platform/PortWatcher.h"

#include "platform/Event.h"
#include "platform/SystemDirs.h"
#include "platform/posix/FdWait.h"

#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace norva {

// The kernel and udev make and remove device nodes in /dev and their stable
// links in /dev/serial/by-id: watching those directories sees an adapter come
// and go, with or without a udev daemon (containers have none).
class PortWatcher::Impl {
public:
    Impl(std::function<void()> onChange, std::vector<std::string> extraDirs)
        : m_onChange(std::move(onChange)) {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) {
            return;
        }
        std::vector<std::string> dirs = std::move(extraDirs);
        dirs.insert(dirs.begin(), {"/dev", ByIdDir()});
        bool any = false;
        for (const std::string& dir : dirs) {
            any = inotify_add_watch(m_fd, dir.c_str(),
                                    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) >= 0 ||
                  any;
        }
        if (!any) {
            close(m_fd);
            m_fd = -1;
            return;
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~Impl() {
        m_stop.Set();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool Watching() const { return m_fd >= 0; }

private:
    void Run() {
        Event* events[] = {&m_stop};
        for (;;) {
            WaitFd watch{m_fd, POLLIN};
            if (WaitAnyOrFd(events, -1, &watch) != 1) {
                return; // stopped, or the watch failed: the list stays as read
            }
            alignas(inotify_event) char buf[4096];
            bool changed = false;
            while (read(m_fd, buf, sizeof buf) > 0) {
                changed = true;
            }
            if (changed) {
                m_onChange();
            }
        }
    }

    std::function<void()> m_onChange;
    int m_fd = -1;
    Event m_stop{Event::Mode::Manual};
    std::thread m_thread;
};

PortWatcher::PortWatcher(std::function<void()> onChange, std::vector<std::string> extraDirs)
    : m_impl(std::make_unique<Impl>(std::move(onChange), std::move(extraDirs))) {}

PortWatcher::~PortWatcher() = default;

bool PortWatcher::Watching() const {
    return m_impl->Watching();
}

} // namespace norva
