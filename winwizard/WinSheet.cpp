#include "winwizard/WinSheet.h"

#include "frontend/PageRules.h"
#include "frontend/SheetMessages.h"
#include "module/ModuleControl.h"
#include "res/strings/StringTable.h"
#include "winwizard/Text.h"
#include "winwizard/resource.h"

#include <commdlg.h>

#include <cstdlib>
#include <new>

namespace norva::win {
namespace {

// The property sheet's callback gets no pointer of ours: one wizard a process.
CWinSheet* g_sheet = nullptr;

constexpr UINT WM_SHEET_INIT = WM_APP + 301;
// The sheet's own controls, as the system numbers them.
constexpr int kEtchedLineId = 0x3026;
constexpr int kNoteHeight = 52;

std::wstring Caption(int step, const std::wstring& demo) {
    return Wide(pages::kStepCaptions[step]) + demo;
}

} // namespace

CWinSheet::CWinSheet()
    : m_verify([this](std::function<void()> call) { m_queue.Post(std::move(call)); }),
      m_unitSetting{{m_queue, [this] { return ReleasePortForSearch(); }},
                    {m_queue, [this] { return ReleasePortForSearch(); }}},
      m_first(*this, flow::STEP_FIRST, IDD_FIRST, 1, IDC_PALE_UNIT2, 0),
      m_scan(*this, flow::STEP_SCAN, IDD_SCAN, IDC_CONFIRM_SCAN),
      m_scanWait(*this, flow::STEP_SCAN_WAIT, IDD_SCAN_WAIT, 2, IDC_PALE_UNIT1, IDC_HEADING),
      m_search(*this, flow::STEP_SEARCH, IDD_SEARCH, IDC_CONFIRM_SEARCH), m_connection(*this),
      m_success(*this, flow::STEP_SUCCESS, IDD_SUCCESS),
      m_mode(*this, flow::STEP_MODE, IDD_MODE, 2,
             {IDC_MODE_BAUD, IDC_MODE_PARITY, IDC_MODE_STOPBITS, IDC_MODE_NO_FLOW, IDC_GATE_MODE}),
      m_mode1(*this, flow::STEP_MODE1, IDD_MODE1, 1,
              {IDC_MODE1_BAUD, IDC_MODE1_PARITY, IDC_MODE1_STOPBITS, IDC_MODE1_NO_FLOW,
               IDC_GATE_MODE1}),
      m_modeSuccess(*this, flow::STEP_MODE_SUCCESS, IDD_MODE_SUCCESS) {
    m_pages = {&m_first,   &m_scan, &m_scanWait, &m_search,     &m_connection,
               &m_success, &m_mode, &m_mode1,    &m_modeSuccess};
    // Started by the simulator, which moves the cable itself: the user is
    // told that there is nothing to move.
    const char* simulated = std::getenv("NORVAWIZARD_SIMULATED");
    if (simulated != nullptr && std::string(simulated) == "follow") {
        m_demo = Wide(LoadString(IDS_DEMO_SIMULATED));
    }
}

CWinSheet::~CWinSheet() {
    OnDestroy();
    g_sheet = nullptr;
}

void CWinSheet::Run() {
    g_sheet = this;
    std::vector<std::wstring> titles;
    titles.reserve(m_pages.size());
    std::vector<PROPSHEETPAGEW> pages;
    for (CWinPage* page : m_pages) {
        titles.push_back(Caption(page->Step(), m_demo));
        pages.push_back(page->Template(titles.back()));
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = L"Configuration";
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = 0;
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;
    PropertySheetW(&header);
    OnDestroy();
}

int CALLBACK CWinSheet::SheetCallback(HWND window, UINT message, LPARAM /*lParam*/) {
    if (message == PSCB_INITIALIZED && g_sheet != nullptr) {
        g_sheet->m_hWnd = window;
        g_sheet->m_queue.Attach(window);
        SetWindowSubclass(window, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(g_sheet));
        // The pages are made once the sheet is up.
        PostMessageW(window, WM_SHEET_INIT, 0, 0);
    }
    return 0;
}

LRESULT CALLBACK CWinSheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR /*id*/, DWORD_PTR data) {
    auto* self = reinterpret_cast<CWinSheet*>(data);
    if (message == WM_DESTROY) {
        self->OnDestroy();
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, 0);
    } else if (self->OnSheetMessage(message, wParam, lParam)) {
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

bool CWinSheet::OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHEET_INIT:
        OnInitDialog();
        return true;
    case WM_UI_CALL:
        m_queue.RunPending();
        return true;
    case WM_JOB_RESULT:
        // A result of a worker stopped for a reopen must not act on the port
        // opened after it.
        if (!m_bDestroyed && m_pModule) {
            const int generation = CWinModuleHost::GenerationOf(lParam);
            if (generation < 0 || generation == m_pModule->Generation()) {
                m_flow.OnJobResult(static_cast<int>(wParam), CWinModuleHost::JobIdOf(lParam));
            }
        }
        return true;
    case WM_PAGE_NEXT:
        if (!m_bDestroyed && m_pModule) {
            for (CWinPage* page : m_pages) {
                if (reinterpret_cast<LPARAM>(page) == lParam) {
                    m_flow.Next(page->Step());
                }
            }
        }
        return true;
    case WM_SEARCH_CONTROL:
        if (!m_bDestroyed) {
            m_flow.SearchControl(wParam != 0);
        }
        return true;
    case WM_CONNECT_CONTROL:
        if (!m_bDestroyed) {
            m_flow.ConnectControl(wParam != 0);
        }
        return true;
    default:
        return false;
    }
}

void CWinSheet::OnInitDialog() {
    if (m_bInitialized) {
        return;
    }
    m_bInitialized = true;
    MakeNoteRoom();
    // Every page made before step 1 shows: the dispatch changes the search
    // page's controls whichever page is up, and the UART pages take their
    // first values from the setting dialogs now.
    for (int i = static_cast<int>(m_pages.size()) - 1; i >= 0; --i) {
        ShowStep(i);
    }
    try {
        m_pModule = std::make_unique<CModuleControl>(&m_host);
    } catch (const std::bad_alloc&) {
        m_pModule.reset();
    }
    if (!m_pModule) {
        ShowBox(kInsufficientMemoryText, {}, false);
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    m_host.SetModule(m_pModule.get());
    m_pController = std::make_unique<flow::PairingJobs>(*m_pModule);
    m_flow.Attach(m_pController.get());
    m_log.Attach(*m_pModule);
}

void CWinSheet::MakeNoteRoom() {
    // The note goes between the page and the etched line above the buttons:
    // the sheet grows by its height and what is below moves down.
    RECT sheet;
    GetWindowRect(m_hWnd, &sheet);
    const HWND line = GetDlgItem(m_hWnd, kEtchedLineId);
    RECT lineRect{};
    if (line != nullptr) {
        GetWindowRect(line, &lineRect);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&lineRect), 2);
    }
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        if (line != nullptr && r.top >= lineRect.top) {
            SetWindowPos(child, nullptr, r.left, r.top + kNoteHeight, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    SetWindowPos(m_hWnd, nullptr, 0, 0, sheet.right - sheet.left,
                 sheet.bottom - sheet.top + kNoteHeight, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int top = line != nullptr ? lineRect.top : client.bottom - kNoteHeight;
    m_note = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 12, top,
                             client.right - 24, kNoteHeight - 4, m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STEP_NOTE)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_note, WM_SETFONT, SendMessageW(m_hWnd, WM_GETFONT, 0, 0), FALSE);
}

void CWinSheet::OnDestroy() {
    if (m_bDestroyed || !m_bInitialized) {
        m_bDestroyed = true;
        return;
    }
    m_bDestroyed = true;
    m_verify.Shutdown();
    m_verifyDlg.Close();
    const bool connecting = m_connection.m_connectingDlg.IsOpen();
    m_connection.m_connectingDlg.EndDialog(CConnectingDlg::kCancelled);
    if (m_pModule) {
        if (connecting) {
            m_flow.Cancel(flow::CPairingFlow::kCloseCancelMs);
        }
        m_host.SetModule(nullptr);
        // A box may be up in the flow: it must find the run over.
        m_flow.Attach(nullptr);
        m_pModule->ClosePort();
        m_pModule.reset();
    }
    m_host.Detach();
    m_queue.Detach();
}

UnitSetting CWinSheet::UnitSettingOf(int unit) const {
    return m_unitSetting[unit == 1 ? 0 : 1].Values();
}

void CWinSheet::EditUnitSetting(int unit) {
    m_unitSetting[unit == 1 ? 0 : 1].DoModal(m_hWnd);
}

flow::UartChoice CWinSheet::StoredUart(int unit) const {
    const CModePage& page = unit == 1 ? m_mode1 : m_mode;
    return {page.m_nBaudRate, page.m_nParity, page.m_nStopBits, page.m_bFlowControl};
}

bool CWinSheet::ReleasePortForSearch() {
    // A search in a setting dialog needs the port the controller may hold;
    // the next step reopens it.
    if (m_pModule && m_pModule->JobRunning()) {
        return false;
    }
    if (m_pModule) {
        m_pModule->ClosePort();
    }
    return true;
}

int CWinSheet::ActiveStep() const {
    if (m_hWnd == nullptr) {
        return flow::STEP_NONE;
    }
    const auto page = reinterpret_cast<HWND>(SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    for (const CWinPage* p : m_pages) {
        if (p->Hwnd() == page && page != nullptr) {
            return p->Step();
        }
    }
    return flow::STEP_NONE;
}

void CWinSheet::ShowStep(int step) {
    if (step < 0 || step >= static_cast<int>(m_pages.size())) {
        return;
    }
    if (ActiveStep() != step) {
        ShowNote({});
    }
    SendMessageW(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(step), 0);
    if (step == flow::STEP_FIRST || step == flow::STEP_SCAN_WAIT) {
        // These pages hold only "Wizard Setting": Return goes to Next.
        SendMessageW(m_hWnd, DM_SETDEFID, 0x3024, 0);
    }
}

void CWinSheet::ShowNote(const std::string& text) {
    if (m_note != nullptr) {
        SetWindowTextUtf8(m_note, text);
        ShowWindow(m_note, text.empty() ? SW_HIDE : SW_SHOW);
    }
}

bool CWinSheet::ShowBox(const std::string& text, const std::string& details, bool failure) {
    int answer = IDOK;
    m_host.WithBannersHidden([&] { answer = win::ShowBox(m_hWnd, text, details, failure); });
    if (answer == IDC_SAVE_LOG) {
        SaveLogWithDialog();
    }
    return !m_bDestroyed && m_pModule != nullptr;
}

void CWinSheet::SaveLogWithDialog() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring suggested = Wide(SessionLog::SuggestedName());
    suggested.copy(path, MAX_PATH - 1);
    const std::wstring title = Wide(LoadString(IDS_SAVE_LOG_TITLE));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"*.log\0*.log\0*.*\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = L"log";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) {
        return;
    }
    const std::string chosen = Utf8(path);
    std::string reason;
    if (!m_log.SaveTo(chosen, &reason)) {
        // Told as a failure: its box offers saving again, elsewhere.
        ShowBox(FormatString(IDS_SAVE_LOG_FAILED, {chosen, reason}), {}, true);
        return;
    }
    ShowBox(FormatString(IDS_LOG_SAVED, {chosen}), {}, false);
}

void CWinSheet::StartVerify() {
    if (m_verify.Running()) {
        return;
    }
    std::vector<flow::UnitToVerify> units = UnitsToVerify(*this);
    // The check opens the ports itself; the sheet's worker is idle at step 9.
    if (m_pModule) {
        m_pModule->ClosePort();
    }
    m_modeSuccess.EnableVerify(false);
    std::string title = LoadString(IDS_VERIFY_BUTTON);
    std::erase(title, '&');
    m_verifyDlg.Open(m_hWnd, title, LoadString(IDS_VERIFY_PROGRESS), [this] { m_verify.Cancel(); });
    m_verify.Start(
        std::move(units), m_log.Transcript(),
        [this](int unit, flow::VerifyStep step) {
            m_verifyDlg.SetText(VerifyProgressText(unit, step));
        },
        [this](const flow::VerifyResult& result) {
            m_verifyDlg.Close();
            ShowBox(VerifyHeadline(result), VerifyDetails(result), !result.Verified());
            m_modeSuccess.EnableVerify(true);
        });
}

} // namespace norva::win
