#pragma once
// Calls carried from other threads to the UI thread: kept in a queue of our
// own, with a posted message to the sheet's window as the wake-up. Calls
// still queued when the window goes are destroyed unrun, so that whoever
// waits on one (a box the worker asked for) is released.

#include "winwizard/Win32.h"

#include <deque>
#include <functional>
#include <mutex>

namespace norva::win {

inline constexpr UINT WM_UI_CALL = WM_APP + 300;

class CUiQueue {
public:
    // UI thread: calls go to `window` from now on.
    void Attach(HWND window);
    // UI thread: drops what is queued; later posts are dropped at once.
    void Detach();
    // Any thread.
    void Post(std::function<void()> call);
    // UI thread, on WM_UI_CALL: runs what is queued, oldest first.
    void RunPending();

private:
    std::mutex m_lock;
    std::deque<std::function<void()>> m_calls;
    HWND m_window = nullptr;
};

} // namespace norva::win
