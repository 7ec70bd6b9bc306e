#include "winwizard/WinView.h"

#include "frontend/SheetMessages.h"
#include "res/strings/StringTable.h"
#include "winwizard/WinSheet.h"

namespace norva::win {

CWinView::CWinView(CWinSheet& sheet) : CWizardView(sheet, sheet), m_sheet(sheet) {}

int CWinView::ActiveStep() const {
    return m_sheet.ActiveStep();
}

void CWinView::ShowStep(int step) {
    if (step == flow::STEP_MODE_SUCCESS) {
        m_sheet.ModeSuccess().ShowStored(m_sheet.Flow().StoredSummary());
    }
    m_sheet.ShowStep(step);
}

bool CWinView::Say(const std::string& text) {
    return m_sheet.ShowBox(text, {}, true);
}

bool CWinView::Inform(const std::string& text) {
    return m_sheet.ShowBox(text, {}, false);
}

void CWinView::Note(const std::string& text) {
    m_sheet.ShowNote(text);
}

void CWinView::ReportOpenFailure(const std::string& reason) {
    m_sheet.ShowBox(LoadString(IDS_PORT_OPEN_FAILED), reason, true);
}

void CWinView::SetButtons(int flags) {
    // The flow's flags are the sheet's PSWIZB_* values; always posted.
    PostMessageW(m_sheet.Hwnd(), PSM_SETWIZBUTTONS, 0, flags);
}

void CWinView::BeginSearchDisplay() {
    m_sheet.Connection().BeginSearchDisplay();
}

void CWinView::EndSearchDisplay() {
    m_sheet.Connection().EndSearchDisplay();
}

bool CWinView::Searching() const {
    return m_sheet.Connection().Searching();
}

void CWinView::EnableSearchButton(bool enable) {
    m_sheet.Connection().EnableSearchButton(enable);
}

void CWinView::EnableConnectButtons() {
    m_sheet.Connection().EnableConnectButtons();
}

void CWinView::EndConnecting(int code) {
    m_sheet.Connection().m_connectingDlg.EndDialog(code);
}

void CWinView::ShowConnected() {
    m_sheet.Connection().OnConnected();
}

} // namespace norva::win
