#pragma once
// Qt's event queue hands a posted event from the worker to the UI thread
// under its own mutex, inside an uninstrumented library, so ThreadSanitizer
// does not see that edge and reports the event's contents as raced. These
// mark it: the poster publishes after building the event, the UI thread
// receives before it reads one. Both are no-ops outside ThreadSanitizer.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NORVA_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define NORVA_TSAN 1
#endif

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <functional>

#ifdef NORVA_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace norva {

#ifdef NORVA_TSAN
// One token for the UI thread's queue, as Qt has one lock for it.
inline char g_uiQueueToken;
inline void MarkPublished() {
    __tsan_release(&g_uiQueueToken);
}
inline void MarkReceived() {
    __tsan_acquire(&g_uiQueueToken);
}
#else
inline void MarkPublished() {}
inline void MarkReceived() {}
#endif

// A call carried from another thread to the UI thread through Qt's queue. One
// posted to an object that is deleted first is dropped with it.
class CUiCall : public QEvent {
public:
    explicit CUiCall(std::function<void()> call) : QEvent(Type()), m_call(std::move(call)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    void Run() { m_call(); }

private:
    std::function<void()> m_call;
};

inline void PostUiCall(QObject* target, std::function<void()> call) {
    auto* event = new CUiCall(std::move(call));
    MarkPublished();
    QCoreApplication::postEvent(target, event);
}

// For an event() override on the UI thread: runs `event` when it is a call.
inline bool RunUiCall(QEvent* event) {
    MarkReceived();
    if (event->type() != CUiCall::Type()) {
        return false;
    }
    static_cast<CUiCall*>(event)->Run();
    return true;
}

// Receives UI calls for an object that has event filters: a filter would
// see (and read) the event before event() marks it received.
class CUiCallReceiver : public QObject {
public:
    using QObject::QObject;

protected:
    bool event(QEvent* event) override { return RunUiCall(event) || QObject::event(event); }
};

} // namespace norva
