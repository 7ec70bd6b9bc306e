#pragma once
// The sheet's window messages as Qt custom events, keeping their names and
// values. "Post" queues the event; "send" runs the handler before returning.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace norva {

inline constexpr int WM_USER = 0x0400;
inline constexpr int WM_APP = 0x8000;

enum SheetMessage : int {
    WM_JOB_RESULT = WM_APP + 200,       // wParam result code, lParam job id
    WM_PAGE_NEXT = WM_APP + 1001,       // lParam the page
    WM_SEARCH_CONTROL = WM_APP + 1002,  // wParam 1 start, 0 stop; lParam the page
    WM_CONNECT_CONTROL = WM_APP + 1003, // wParam 1 connect, 0 abort; lParam the page
    PSM_SETWIZBUTTONS = WM_USER + 112,  // lParam PSWIZB_* flags
};

enum WizardButtonFlag : int {
    PSWIZB_BACK = 1,
    PSWIZB_NEXT = 2,
    PSWIZB_FINISH = 4,
};

class SheetEvent : public QEvent {
public:
    // `generation`: for a job result, the controller's Generation() when the
    // worker posted it; -1 for messages that belong to no open.
    SheetEvent(int message, qintptr wParam, qintptr lParam, int generation = -1)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam),
          m_nGeneration(generation) {}
    int Message() const { return static_cast<int>(type()); }
    qintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }
    int Generation() const { return m_nGeneration; }

private:
    qintptr m_wParam;
    qintptr m_lParam;
    int m_nGeneration;
};

inline void PostSheetMessage(QObject* target, int message, qintptr wParam, qintptr lParam) {
    if (target != nullptr) {
        QCoreApplication::postEvent(target, new SheetEvent(message, wParam, lParam));
    }
}

inline void SendSheetMessage(QObject* target, int message, qintptr wParam, qintptr lParam) {
    if (target != nullptr) {
        SheetEvent event(message, wParam, lParam);
        QCoreApplication::sendEvent(target, &event);
    }
}

} // namespace norva
