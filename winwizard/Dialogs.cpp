#include "winwizard/Dialogs.h"

#include "res/strings/StringTable.h"
#include "winwizard/Text.h"
#include "winwizard/resource.h"

namespace norva::win {
namespace {

struct BoxContent {
    const std::string* text;
    const std::string* details;
    bool offerSaveLog;
};

INT_PTR CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* content = reinterpret_cast<const BoxContent*>(lParam);
        SetItemText(window, IDC_FAILURE_TEXT, *content->text);
        SetItemText(window, IDC_FAILURE_DETAILS, *content->details);
        ShowWindow(GetDlgItem(window, IDC_FAILURE_DETAILS),
                   content->details->empty() ? SW_HIDE : SW_SHOW);
        SetItemText(window, IDC_SAVE_LOG, LoadString(IDS_SAVE_LOG));
        ShowWindow(GetDlgItem(window, IDC_SAVE_LOG), content->offerSaveLog ? SW_SHOW : SW_HIDE);
        SetFocus(GetDlgItem(window, IDOK));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(window, IDOK);
            return TRUE;
        case IDC_SAVE_LOG:
            EndDialog(window, IDC_SAVE_LOG);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

int ShowBox(HWND owner, const std::string& text, const std::string& details, bool offerSaveLog) {
    BoxContent content{&text, &details, offerSaveLog};
    const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FAILURE),
                                           owner, BoxProc, reinterpret_cast<LPARAM>(&content));
    return answer == IDC_SAVE_LOG ? IDC_SAVE_LOG : IDOK;
}

bool AskYesNo(HWND owner, const std::string& text) {
    return MessageBoxW(owner, Wide(text).c_str(), L"NorvaWizard",
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) == IDYES;
}

int CConnectingDlg::DoModal(HWND owner) {
    const INT_PTR code =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONNECTING), owner, Proc,
                        reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return static_cast<int>(code);
}

void CConnectingDlg::EndDialog(int code) {
    if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, code);
    }
}

INT_PTR CALLBACK CConnectingDlg::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CConnectingDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        self = reinterpret_cast<CConnectingDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        const HWND animation = GetDlgItem(window, IDC_CONNECTING_ANIMATE);
        SendMessageW(animation, ACM_OPENW, reinterpret_cast<WPARAM>(GetModuleHandleW(nullptr)),
                     reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(IDR_CONNECTING_AVI)));
        SendMessageW(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CONNECTING_CANCEL || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(window, kCancelled);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        SendMessageW(GetDlgItem(window, IDC_CONNECTING_ANIMATE), ACM_STOP, 0, 0);
        if (self != nullptr) {
            self->m_hWnd = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CVerifyDlg::Open(HWND owner, const std::string& title, const std::string& text,
                      std::function<void()> onCancel) {
    m_onCancel = std::move(onCancel);
    m_owner = owner;
    if (m_hWnd == nullptr) {
        m_hWnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_VERIFY), owner,
                                    Proc, reinterpret_cast<LPARAM>(this));
    }
    if (m_hWnd == nullptr) {
        return;
    }
    SetWindowTextUtf8(m_hWnd, title);
    SetText(text);
    EnableWindow(GetDlgItem(m_hWnd, IDCANCEL), TRUE);
    // Window-modal: the wizard waits for the check.
    EnableWindow(owner, FALSE);
    ShowWindow(m_hWnd, SW_SHOW);
}

void CVerifyDlg::SetText(const std::string& text) {
    if (m_hWnd != nullptr) {
        SetItemText(m_hWnd, IDC_VERIFY_TEXT, text);
    }
}

void CVerifyDlg::Close() {
    if (m_hWnd == nullptr) {
        return;
    }
    // The owner first, so that the focus returns to the wizard.
    EnableWindow(m_owner, TRUE);
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

INT_PTR CALLBACK CVerifyDlg::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CVerifyDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && self != nullptr) {
            // The dialog stays until the check has ended, so that it is never
            // gone while units are still being restarted.
            EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
            if (self->m_onCancel) {
                self->m_onCancel();
            }
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

HWND CreateBanner(int templateId, HWND owner) {
    const HWND banner = CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0);
    if (banner != nullptr) {
        ShowWindow(banner, SW_SHOWNOACTIVATE);
        UpdateWindow(banner);
    }
    return banner;
}

} // namespace norva::win
