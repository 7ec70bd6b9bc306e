#include "winwizard/UiQueue.h"

namespace norva::win {

void CUiQueue::Attach(HWND window) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
}

void CUiQueue::Detach() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_window = nullptr;
        dropped.swap(m_calls);
    }
    // Destroyed outside the lock: a call's captures may post again.
}

void CUiQueue::Post(std::function<void()> call) {
    std::function<void()> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_window == nullptr) {
            dropped = std::move(call);
        } else {
            m_calls.push_back(std::move(call));
            PostMessageW(m_window, WM_UI_CALL, 0, 0);
        }
    }
}

void CUiQueue::RunPending() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_calls.empty()) {
                return;
            }
            call = std::move(m_calls.front());
            m_calls.pop_front();
        }
        // A call may open a box whose loop runs this again: the queue stays in order.
        call();
    }
}

} // namespace norva::win
