#pragma once
// Passes a caller's stop on to controllers' own stop events, which every wait
// of their transactions watches: a direct transaction on the caller's thread
// then ends at once when the caller is stopped.

#include "platform/Event.h"

#include <thread>
#include <vector>

namespace norva {

class CModuleControl;

class StopRelay {
public:
    // `stop` may be null (nothing to relay); the controllers outlive the relay.
    StopRelay(const Event* stop, std::vector<CModuleControl*> modules);
    ~StopRelay();
    StopRelay(const StopRelay&) = delete;
    StopRelay& operator=(const StopRelay&) = delete;

private:
    Event m_done{Event::Mode::Manual};
    std::thread m_thread;
};

} // namespace norva
