#pragma once
// The sheet's window messages and wizard-button flags, by number: both front
// ends use them, the Qt one as custom events, the Windows one as the window
// messages they are (it checks these against the system's own definitions).

#include "flow/PairingView.h"

namespace norva {

inline constexpr int kWmUser = 0x0400;
inline constexpr int kWmApp = 0x8000;

enum SheetMessage : int {
    WM_JOB_RESULT = kWmApp + 200,       // wParam result code, lParam job id
    WM_PAGE_NEXT = kWmApp + 1001,       // lParam the page
    WM_SEARCH_CONTROL = kWmApp + 1002,  // wParam 1 start, 0 stop; lParam the page
    WM_CONNECT_CONTROL = kWmApp + 1003, // wParam 1 connect, 0 abort; lParam the page
};
// lParam the wizard-button flags below; always posted.
inline constexpr int kSetWizardButtons = kWmUser + 112;

enum WizardButtons : int {
    WIZARD_BACK = flow::BUTTON_BACK,
    WIZARD_NEXT = flow::BUTTON_NEXT,
    WIZARD_FINISH = 4,
};

} // namespace norva
