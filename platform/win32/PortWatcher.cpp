#include "platform/PortWatcher.h"

namespace norva {

// Windows announces new ports to windows, not to a console program's thread:
// the list is read again only when it is shown.
class PortWatcher::Impl {};

// The Linux watcher keeps both: the shared signature takes them by value.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
PortWatcher::PortWatcher(std::function<void()> /*onChange*/, std::vector<std::string> /*extraDirs*/)
    : m_impl(std::make_unique<Impl>()) {}

PortWatcher::~PortWatcher() = default;

bool PortWatcher::Watching() const {
    return false;
}

} // namespace norva
