#include "frontend/PageRules.h"
#include "frontend/SheetMessages.h"
#include "winwizard/Pages.h"
#include "winwizard/Text.h"
#include "winwizard/WinSheet.h"
#include "winwizard/resource.h"

namespace norva::win {

CConnectionPage::CConnectionPage(CWinSheet& sheet)
    : CWinPage(sheet, flow::STEP_CONNECTION, IDD_CONNECTION) {}

CConnectionPage::~CConnectionPage() {
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

void CConnectionPage::OnInitDialog() {
    // A fixed-pitch face at 9.5 points, so that the addresses line up.
    const HDC screen = GetDC(nullptr);
    const int height = -MulDiv(95, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
    m_font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                         FIXED_PITCH | FF_MODERN, L"SYSTEM_FIXED_FONT");
    const HWND list = Item(IDC_DEVICE_LIST);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    int column = 0;
    for (const pages::ListColumn& c : pages::kDeviceColumns) {
        std::wstring heading = Wide(c.heading);
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        lvc.fmt = LVCFMT_LEFT;
        lvc.cx = c.width;
        lvc.pszText = heading.data();
        lvc.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&lvc));
        ++column;
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    SendMessageW(Item(IDC_SEARCH_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, pages::kProgressRange));
    SendMessageW(Item(IDC_SEARCH_PROGRESS), PBM_SETPOS, 0, 0);
    m_nProgress = 0;
    m_bSearching = 0;
    EnableWindow(Item(IDC_CONNECT), FALSE);
}

void CConnectionPage::BeginSearchDisplay() {
    EnableWindow(Item(IDC_CONNECT), FALSE);
    SendMessageW(Item(IDC_SEARCH_PROGRESS), PBM_SETPOS, 0, 0);
    m_nProgress = 0;
    SendMessageW(Item(IDC_DEVICE_LIST), LVM_DELETEALLITEMS, 0, 0);
    SetItemText(Hwnd(), IDC_SEARCH, "Cancel Search");
    SetTimer(Hwnd(), pages::kSearchTimerId, pages::kSearchTimerMs, nullptr);
    m_bSearching = 1;
    PostWizButtons(0);
}

void CConnectionPage::EndSearchDisplay() {
    EnableWindow(Item(IDC_CONNECT), TRUE);
    SetItemText(Hwnd(), IDC_SEARCH, "Search");
    SendMessageW(Item(IDC_SEARCH_PROGRESS), PBM_SETPOS, 0, 0);
    m_nProgress = 0;
    KillTimer(Hwnd(), pages::kSearchTimerId);
    m_bSearching = 0;
    PostWizButtons(WIZARD_BACK);
}

void CConnectionPage::EnableConnectButtons() {
    EnableWindow(Item(IDC_CONNECT), TRUE);
    EnableWindow(Item(IDC_SEARCH), TRUE);
}

void CConnectionPage::OnConnected() {
    EnableWindow(Item(IDC_SEARCH), FALSE);
    EnableWindow(Item(IDC_CONNECT), FALSE);
    m_connectingDlg.EndDialog(1);
}

void CConnectionPage::EnableSearchButton(bool enable) {
    EnableWindow(Item(IDC_SEARCH), enable ? TRUE : FALSE);
}

void CConnectionPage::AddDeviceRow(const std::string& address, const std::string& name,
                                   const std::string& classOfDevice) {
    const HWND list = Item(IDC_DEVICE_LIST);
    const auto row = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const std::wstring texts[3] = {Wide(address), Wide(name), Wide(classOfDevice)};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(texts[0].c_str());
    const auto at =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 3; ++column) {
        LVITEMW sub{};
        sub.iSubItem = column;
        sub.pszText = const_cast<wchar_t*>(texts[column].c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                     reinterpret_cast<LPARAM>(&sub));
    }
    const bool anyChosen = SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    if (pages::ChooseFoundRow(address, m_sheet.Unit1Address(), anyChosen)) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(at),
                     reinterpret_cast<LPARAM>(&state));
    }
}

void CConnectionPage::OnTimer(UINT_PTR id) {
    if (id != pages::kSearchTimerId) {
        return;
    }
    m_nProgress = pages::NextProgress(m_nProgress);
    SendMessageW(Item(IDC_SEARCH_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(m_nProgress), 0);
}

LRESULT CConnectionPage::OnNotify(NMHDR* header) {
    if (header->idFrom != IDC_DEVICE_LIST || header->code != LVN_ITEMCHANGED) {
        return 0;
    }
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if ((change->uNewState & LVIS_SELECTED) == 0) {
        return 0;
    }
    wchar_t address[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = address;
    item.cchTextMax = static_cast<int>(std::size(address));
    SendMessageW(header->hwndFrom, LVM_GETITEMTEXTW, static_cast<WPARAM>(change->iItem),
                 reinterpret_cast<LPARAM>(&item));
    SetDlgItemTextW(Hwnd(), IDC_ADDRESS, address);
    return 0;
}

bool CConnectionPage::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return false;
    }
    if (id == IDC_SEARCH) {
        OnSearchButton();
        return true;
    }
    if (id == IDC_CONNECT) {
        OnConnectButton();
        return true;
    }
    return false;
}

void CConnectionPage::OnSearchButton() {
    EnableWindow(Item(IDC_SEARCH), FALSE);
    const bool start = m_bSearching == 0;
    if (start) {
        // Before the request: when the port cannot be reopened, the Back that
        // the sheet posts in its answer must be the last word.
        PostWizButtons(0);
    }
    SendMessageW(m_sheet.Hwnd(), WM_SEARCH_CONTROL, start ? 1 : 0, reinterpret_cast<LPARAM>(this));
    if (!start) {
        // Every button off until the end of the search is dispatched.
        PostWizButtons(0);
    }
}

void CConnectionPage::OnConnectButton() {
    std::string address = ItemText(Hwnd(), IDC_ADDRESS);
    const size_t first = address.find_first_not_of(" \t");
    const size_t last = address.find_last_not_of(" \t");
    address = first == std::string::npos ? std::string() : address.substr(first, last - first + 1);
    m_sheet.SetConnectTarget(address);
    EnableWindow(Item(IDC_SEARCH), FALSE);
    const auto self = reinterpret_cast<LPARAM>(this);
    PostMessageW(m_sheet.Hwnd(), WM_CONNECT_CONTROL, 1, self);
    // The posted message is handled inside the modal run and starts the job.
    if (m_connectingDlg.DoModal(m_sheet.Hwnd()) == CConnectingDlg::kCancelled) {
        SendMessageW(m_sheet.Hwnd(), WM_CONNECT_CONTROL, 0, self);
    }
}

} // namespace norva::win
