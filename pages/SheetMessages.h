#pragma once
// The sheet's window messages as Qt custom events, keeping their names and
// values. "Post" queues the event; "send" runs the handler before returning.

#include "frontend/SheetMessages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace norva {

// The property sheet's own names for the buttons' message and flags.
inline constexpr int PSM_SETWIZBUTTONS = kSetWizardButtons;
enum WizardButtonFlag : int {
    PSWIZB_BACK = WIZARD_BACK,
    PSWIZB_NEXT = WIZARD_NEXT,
    PSWIZB_FINISH = WIZARD_FINISH,
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
