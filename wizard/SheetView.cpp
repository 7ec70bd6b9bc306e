#include "wizard/SheetView.h"

#include "pages/Connection.h"
#include "pages/MessageService.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/SheetMessages.h"
#include "res/strings/StringTable.h"
#include "wizard/QtModuleHost.h"
#include "wizard/SerialSheet.h"

namespace norva {

static_assert(int{flow::BUTTON_BACK} == int{PSWIZB_BACK} &&
              int{flow::BUTTON_NEXT} == int{PSWIZB_NEXT});

CSheetView::CSheetView(CSerialSheet& sheet) : CWizardView(sheet, sheet), m_sheet(sheet) {}

int CSheetView::ActiveStep() const {
    return m_sheet.GetActiveIndex();
}

void CSheetView::ShowStep(int step) {
    if (step == flow::STEP_MODE_SUCCESS) {
        m_sheet.ModeSuccessPage()->ShowStored(
            QString::fromStdString(m_sheet.Flow().StoredSummary()));
    }
    m_sheet.SetActivePage(step);
}

namespace {

// A message box runs a nested event loop; the sheet may close inside it.
// A failure's box also offers to save the log.
bool Show(const CSerialSheet& sheet, const std::string& text, bool failure) {
    auto show = [&text, failure] { failure ? ShowFailure(text) : ShowMessage(text); };
    if (sheet.Host() != nullptr) {
        sheet.Host()->WithBannersHidden(show);
    } else {
        show();
    }
    return !sheet.Destroyed() && sheet.Module() != nullptr;
}

} // namespace

bool CSheetView::Say(const std::string& text) {
    return Show(m_sheet, text, true);
}

bool CSheetView::Inform(const std::string& text) {
    return Show(m_sheet, text, false);
}

void CSheetView::Note(const std::string& text) {
    m_sheet.ShowNote(QString::fromStdString(text));
}

void CSheetView::ReportOpenFailure(const std::string& reason) {
    ShowFailure(QString::fromStdString(LoadString(IDS_PORT_OPEN_FAILED)),
                QString::fromStdString(reason));
}

void CSheetView::SetButtons(int flags) {
    // The flow's flags are the sheet's PSWIZB_* values.
    PostSheetMessage(&m_sheet, PSM_SETWIZBUTTONS, 0, flags);
}

void CSheetView::BeginSearchDisplay() {
    m_sheet.ConnectionPage()->BeginSearchDisplay();
}

void CSheetView::EndSearchDisplay() {
    m_sheet.ConnectionPage()->EndSearchDisplay();
}

bool CSheetView::Searching() const {
    return m_sheet.ConnectionPage()->m_bSearching != 0;
}

void CSheetView::EnableSearchButton(bool enable) {
    m_sheet.ConnectionPage()->EnableSearchButton(enable);
}

void CSheetView::EnableConnectButtons() {
    m_sheet.ConnectionPage()->EnableConnectButtons();
}

void CSheetView::EndConnecting(int code) {
    m_sheet.ConnectionPage()->m_connectingDlg.EndDialog(code);
}

void CSheetView::ShowConnected() {
    m_sheet.ConnectionPage()->OnConnected();
}

} // namespace norva
