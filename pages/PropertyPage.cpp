#include "pages/PropertyPage.h"

#include "frontend/PageRules.h"
#include "frontend/SheetAccess.h"
#include "pages/SheetMessages.h"

namespace norva {
namespace {

QWidget* g_mainWindow = nullptr;
ISheetAccess* g_mainAccess = nullptr;

} // namespace

void CPropertyPage::SetMainSheet(QWidget* window, ISheetAccess* access) {
    g_mainWindow = window;
    g_mainAccess = access;
}

QWidget* CPropertyPage::SheetWindow() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (dynamic_cast<ISheetAccess*>(w) != nullptr) {
            return w;
        }
    }
    // A page not (yet) inside a sheet reaches the application's main window.
    return g_mainWindow;
}

ISheetAccess* CPropertyPage::Sheet() const {
    QWidget* window = SheetWindow();
    if (window == g_mainWindow) {
        return g_mainAccess;
    }
    return dynamic_cast<ISheetAccess*>(window);
}

void CPropertyPage::PostWizButtons(int flags) const {
    PostSheetMessage(SheetWindow(), PSM_SETWIZBUTTONS, 0, flags);
}

void CPropertyPage::PostPageNext() const {
    PostSheetMessage(SheetWindow(), WM_PAGE_NEXT, 0, reinterpret_cast<qintptr>(this));
}

void CPropertyPage::SendPageNext() const {
    SendSheetMessage(SheetWindow(), WM_PAGE_NEXT, 0, reinterpret_cast<qintptr>(this));
}

int CPropertyPage::HandNextToSheet(int step) const {
    const pages::NextRule rule = pages::OnNext(step);
    if (rule.buttonsOff) {
        PostWizButtons(0);
    }
    switch (rule.handOff) {
    case pages::NextHandOff::Post:
        PostPageNext();
        return -1;
    case pages::NextHandOff::Send:
        SendPageNext();
        return -1;
    case pages::NextHandOff::Stay:
        return -1;
    default:
        return 0;
    }
}

} // namespace norva
