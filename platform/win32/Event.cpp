#include "platform/Event.h"

#include <windows.h>

namespace norva {
namespace {

HANDLE Handle(const Event* e) {
    return reinterpret_cast<HANDLE>(e->Native());
}

DWORD Millis(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

} // namespace

Event::Event(Mode mode)
    : m_native(reinterpret_cast<intptr_t>(
          CreateEventA(nullptr, mode == Mode::Manual ? TRUE : FALSE, FALSE, nullptr))),
      m_mode(mode) {}

Event::~Event() {
    if (Valid()) {
        CloseHandle(Handle(this));
    }
}

bool Event::Valid() const {
    return m_native != 0;
}

void Event::Set() {
    SetEvent(Handle(this));
}

void Event::Reset() {
    ResetEvent(Handle(this));
}

bool Event::IsSet() const {
    if (WaitForSingleObject(Handle(this), 0) != WAIT_OBJECT_0) {
        return false;
    }
    // Windows cannot look at an auto-reset event without taking it.
    if (m_mode == Mode::Auto) {
        SetEvent(Handle(this));
    }
    return true;
}

bool Event::TryTake() {
    return WaitForSingleObject(Handle(this), 0) == WAIT_OBJECT_0;
}

int WaitAny(std::span<Event* const> events, int timeoutMs) {
    HANDLE handles[kMaxWaitObjects];
    if (events.size() > kMaxWaitObjects) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kWaitFailed;
    }
    size_t used = 0;
    for (Event* e : events) {
        if (e == nullptr || !e->Valid()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return kWaitFailed;
        }
        handles[used++] = Handle(e);
    }
    if (used == 0) {
        Sleep(Millis(timeoutMs));
        return kWaitTimeout;
    }
    // Lowest signalled index first; auto-reset events are taken by the wait
    // itself, manual ones never.
    const DWORD r =
        WaitForMultipleObjects(static_cast<DWORD>(used), handles, FALSE, Millis(timeoutMs));
    if (r < WAIT_OBJECT_0 + used) {
        return static_cast<int>(r - WAIT_OBJECT_0);
    }
    return r == WAIT_TIMEOUT ? kWaitTimeout : kWaitFailed;
}

bool SleepUnlessSet(const Event* stop, int ms) {
    if (stop == nullptr || !stop->Valid()) {
        Sleep(static_cast<DWORD>(ms));
        return false;
    }
    if (WaitForSingleObject(Handle(stop), static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
        return false;
    }
    if (stop->GetMode() == Event::Mode::Auto) {
        SetEvent(Handle(stop));
    }
    return true;
}

} // namespace norva
