#pragma once
// Win32-style events on eventfd, so that a thread can wait on events and a
// device descriptor in one poll().

#include <cstddef>
#include <span>

namespace norva {

class Event {
public:
    enum class Mode { Manual, Auto };

    explicit Event(Mode mode);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Valid() const { return m_fd >= 0; }
    Mode GetMode() const { return m_mode; }
    int Fd() const { return m_fd; }

    void Set();
    void Reset();
    // Reports the state without consuming an auto-reset event.
    bool IsSet() const;
    // Consumes an auto-reset event if it is set; a manual one is only tested.
    bool TryTake();

private:
    int m_fd = -1;
    Mode m_mode;
};

inline constexpr int kWaitTimeout = -1;
// The most events one wait can watch (the job events are the largest set).
inline constexpr size_t kMaxWaitObjects = 16;
inline constexpr int kWaitFailed = -2;

// An extra descriptor for WaitAny: the serial reader waits on its stop event
// and the device together.
struct WaitFd {
    int fd = -1;
    short events = 0;  // poll() events asked for
    short revents = 0; // what poll() reported when WaitAny returned its index
};

// Waits until one of `events` is signalled (or `extra` is ready) or the
// time-out (ms, -1 = no limit, monotonic) passes. Returns the lowest index of
// a signalled event (an auto-reset event it reports is consumed, a manual one
// never), events.size() when only `extra` is ready, kWaitTimeout, or
// kWaitFailed with errno set. A null entry in `events` makes the wait fail.
int WaitAny(std::span<Event* const> events, int timeoutMs, WaitFd* extra = nullptr);

// Sleeps for `ms`, or returns early (true) when `stop` becomes set.
bool SleepUnlessSet(const Event* stop, int ms);

} // namespace norva
