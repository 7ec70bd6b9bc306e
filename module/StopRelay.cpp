#include "module/StopRelay.h"

#include "module/ModuleControl.h"

namespace norva {

StopRelay::StopRelay(const Event* stop, std::vector<CModuleControl*> modules) {
    if (stop == nullptr) {
        return;
    }
    m_thread = std::thread([this, stop, modules = std::move(modules)] {
        Event* const waitOn[] = {const_cast<Event*>(stop), &m_done};
        if (WaitAny(waitOn, -1) == 0) {
            for (CModuleControl* module : modules) {
                module->Stop();
            }
        }
    });
}

StopRelay::~StopRelay() {
    m_done.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace norva
