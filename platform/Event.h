#pragma once
// Win32-style events: set, reset, auto- or manual-reset, and a wait on several
// at once. On Linux an event is an eventfd (so that a poll can watch it with a
// device), on Windows an event object.

#include <cstddef>
#include <cstdint>
#include <span>

namespace norva {

class Event {
public:
    enum class Mode { Manual, Auto };

    explicit Event(Mode mode);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Valid() const;
    Mode GetMode() const { return m_mode; }
    // The descriptor or handle, for the platform's own waits.
    intptr_t Native() const { return m_native; }

    void Set();
    void Reset();
    // Reports the state without consuming an auto-reset event.
    bool IsSet() const;
    // Consumes an auto-reset event if it is set; a manual one is only tested.
    bool TryTake();

private:
    intptr_t m_native;
    Mode m_mode;
};

inline constexpr int kWaitTimeout = -1;
// The most events one wait can watch (the job events are the largest set).
inline constexpr size_t kMaxWaitObjects = 16;
inline constexpr int kWaitFailed = -2;

// Waits until one of `events` is signalled or the time-out (ms, -1 = no
// limit, monotonic) passes. Returns the lowest index of a signalled event (an
// auto-reset event it reports is consumed, a manual one never), kWaitTimeout,
// or kWaitFailed. A null entry in `events` makes the wait fail.
int WaitAny(std::span<Event* const> events, int timeoutMs);

// Sleeps for `ms`, or returns early (true) when `stop` becomes set.
bool SleepUnlessSet(const Event* stop, int ms);

} // namespace norva
