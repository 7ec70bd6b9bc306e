#include "pages/PropertyPage.h"

#include "wizard/Messages.h"
#include "wizard/SerialSheet.h"

namespace norva {

CSerialSheet* CPropertyPage::Sheet() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* sheet = qobject_cast<CSerialSheet*>(w)) {
            return sheet;
        }
    }
    // A page not (yet) inside a sheet reaches the application's main window.
    return CSerialSheet::MainSheet();
}

void CPropertyPage::PostWizButtons(int flags) const {
    PostSheetMessage(Sheet(), PSM_SETWIZBUTTONS, 0, flags);
}

void CPropertyPage::PostPageNext() const {
    PostSheetMessage(Sheet(), WM_PAGE_NEXT, 0, reinterpret_cast<qintptr>(this));
}

void CPropertyPage::SendPageNext() const {
    SendSheetMessage(Sheet(), WM_PAGE_NEXT, 0, reinterpret_cast<qintptr>(this));
}

} // namespace norva
