#pragma once
// Tells when serial devices may have come or gone (an adapter plugged in or
// pulled), so that a list of ports on screen can be read again. The callback
// runs on the watcher's own thread and must return quickly.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace norva {

class PortWatcher {
public:
    // `extraDirs`: further directories whose entries name devices (the ones
    // NORVAWIZARD_COM<n> points into, say).
    PortWatcher(std::function<void()> onChange, std::vector<std::string> extraDirs);
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // False when this system cannot watch: the list is then read only when
    // it is shown.
    bool Watching() const;

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace norva
