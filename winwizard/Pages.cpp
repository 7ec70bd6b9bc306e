#include "winwizard/Pages.h"

#include "frontend/PageRules.h"
#include "frontend/SheetMessages.h"
#include "res/strings/StringTable.h"
#include "winwizard/Text.h"
#include "winwizard/WinSheet.h"
#include "winwizard/resource.h"

namespace norva::win {

static_assert(WM_USER == kWmUser && WM_APP == kWmApp && PSM_SETWIZBUTTONS == kSetWizardButtons &&
                  PSWIZB_BACK == WIZARD_BACK && PSWIZB_NEXT == WIZARD_NEXT &&
                  PSWIZB_FINISH == WIZARD_FINISH,
              "the sheet's numbers differ from the system's");

CWinPage::CWinPage(CWinSheet& sheet, int step, int templateId)
    : m_sheet(sheet), m_nStep(step), m_nTemplateId(templateId) {}

CWinPage::~CWinPage() {
    if (m_fontBold != nullptr) {
        DeleteObject(m_fontBold);
    }
}

PROPSHEETPAGEW CWinPage::Template(const std::wstring& title) {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(m_nTemplateId);
    page.pszTitle = title.c_str();
    page.pfnDlgProc = Proc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK CWinPage::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CWinPage*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        self = reinterpret_cast<CWinPage*>(page->lParam);
        SetWindowLongPtrW(window, DWLP_USER, page->lParam);
        self->m_hWnd = window;
        self->OnInitDialog();
        return TRUE;
    }
    case WM_COMMAND:
        return self != nullptr && self->OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER:
        if (self != nullptr) {
            self->OnTimer(wParam);
        }
        return TRUE;
    case WM_NOTIFY: {
        if (self == nullptr) {
            return FALSE;
        }
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        switch (header->code) {
        case PSN_SETACTIVE:
            self->OnSetActive();
            break;
        case PSN_WIZNEXT:
            result = self->OnWizardNext();
            break;
        case PSN_QUERYCANCEL:
            // TRUE keeps the wizard open.
            result = self->m_sheet.Pairing().HalfPaired() &&
                             !AskYesNo(GetParent(window), LoadString(IDS_QUIT_HALF_PAIRED))
                         ? TRUE
                         : FALSE;
            break;
        default:
            result = self->OnNotify(header);
            break;
        }
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CWinPage::OnSetActive() {
    const int flags = pages::ButtonsOnArrival(m_nStep, GateTicked());
    if (flags != pages::kLeaveButtons) {
        PostWizButtons(flags);
    }
}

int CWinPage::OnWizardNext() {
    return HandNextToSheet();
}

bool CWinPage::OnCommand(int /*id*/, int /*code*/) {
    return false;
}

LRESULT CWinPage::OnNotify(NMHDR* /*header*/) {
    return 0;
}

void CWinPage::OnTimer(UINT_PTR /*id*/) {}

void CWinPage::PostWizButtons(int flags) const {
    PostMessageW(m_sheet.Hwnd(), PSM_SETWIZBUTTONS, 0, flags);
}

int CWinPage::HandNextToSheet() const {
    const pages::NextRule rule = pages::OnNext(m_nStep);
    if (rule.buttonsOff) {
        PostWizButtons(0);
    }
    const auto self = reinterpret_cast<LPARAM>(this);
    switch (rule.handOff) {
    case pages::NextHandOff::Post:
        PostMessageW(m_sheet.Hwnd(), WM_PAGE_NEXT, 0, self);
        return -1;
    case pages::NextHandOff::Send:
        SendMessageW(m_sheet.Hwnd(), WM_PAGE_NEXT, 0, self);
        return -1;
    case pages::NextHandOff::Stay:
        return -1;
    default:
        return 0;
    }
}

void CWinPage::SetBold(int id) {
    if (m_fontBold == nullptr) {
        m_fontBold =
            CreateFontW(12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr);
    }
    SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(m_fontBold), TRUE);
}

CUnitPage::CUnitPage(CWinSheet& sheet, int step, int templateId, int unit, int paleId, int boldId)
    : CWinPage(sheet, step, templateId), m_nUnit(unit), m_nPaleId(paleId), m_nBoldId(boldId) {}

void CUnitPage::OnInitDialog() {
    if (m_nBoldId != 0) {
        SetBold(m_nBoldId);
    }
    MakeTransparent(Item(m_nPaleId));
}

bool CUnitPage::OnCommand(int id, int code) {
    if (id == IDC_WIZARD_SETTING && code == BN_CLICKED) {
        m_sheet.EditUnitSetting(m_nUnit);
        return true;
    }
    return false;
}

CConfirmPage::CConfirmPage(CWinSheet& sheet, int step, int templateId, int boxId)
    : CWinPage(sheet, step, templateId), m_nBoxId(boxId) {}

void CConfirmPage::OnInitDialog() {
    SetBold(m_nBoxId);
}

void CConfirmPage::OnSetActive() {
    if (pages::ClearsBoxOnArrival(Step())) {
        CheckDlgButton(Hwnd(), m_nBoxId, BST_UNCHECKED);
    }
    CWinPage::OnSetActive();
}

bool CConfirmPage::OnCommand(int id, int code) {
    if (id == m_nBoxId && code == BN_CLICKED) {
        PostWizButtons(pages::ButtonsOnBoxClick(Step(), Checked(m_nBoxId)));
        return true;
    }
    return false;
}

void CTextPage::OnInitDialog() {
    SetBold(IDC_HEADING);
}

void CModeSuccessPage::OnInitDialog() {
    CTextPage::OnInitDialog();
    SetItemText(Hwnd(), IDC_VERIFY, LoadString(IDS_VERIFY_BUTTON));
    SetItemText(Hwnd(), IDC_SAVE_LOG, LoadString(IDS_SAVE_LOG));
}

bool CModeSuccessPage::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return false;
    }
    if (id == IDC_VERIFY) {
        m_sheet.StartVerify();
        return true;
    }
    if (id == IDC_SAVE_LOG) {
        m_sheet.SaveLogWithDialog();
        return true;
    }
    return false;
}

void CModeSuccessPage::ShowStored(const std::string& summary) {
    SetItemText(Hwnd(), IDC_STORED_TEXT, summary);
    ShowWindow(Item(IDC_STORED_TEXT), summary.empty() ? SW_HIDE : SW_SHOW);
}

void CModeSuccessPage::EnableVerify(bool enable) {
    EnableWindow(Item(IDC_VERIFY), enable ? TRUE : FALSE);
}

} // namespace norva::win
