#pragma once
// The small dialogs of the Windows wizard: its message box, "Connecting...",
// the pair check's progress and the two wait banners.

#include "winwizard/Win32.h"

#include <functional>
#include <string>

namespace norva::win {

// The program's message box: the text, a smaller second text (none when
// empty), OK, and "Save log..." when offered. Returns IDOK or IDC_SAVE_LOG.
int ShowBox(HWND owner, const std::string& text, const std::string& details, bool offerSaveLog);

// A yes/no question, No the default; true for Yes.
bool AskYesNo(HWND owner, const std::string& text);

class CConnectingDlg {
public:
    // Cancel, Esc and the close box all end the dialog with this code.
    static constexpr int kCancelled = -1;

    // Runs modally; -1 Cancel (or the dialog could not be shown), or the code
    // given to EndDialog.
    int DoModal(HWND owner);
    // Ends a running dialog from outside (1 connected, 2 timed out, 3 failed).
    void EndDialog(int code);
    bool IsOpen() const { return m_hWnd != nullptr; }
    HWND Hwnd() const { return m_hWnd; }

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
};

// The pair check's progress: modeless, its owner disabled while it is up;
// Cancel asks the check to stop and stays off until it has.
class CVerifyDlg {
public:
    void Open(HWND owner, const std::string& title, const std::string& text,
              std::function<void()> onCancel);
    void SetText(const std::string& text);
    void Close();
    HWND Hwnd() const { return m_hWnd; }

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    HWND m_owner = nullptr;
    std::function<void()> m_onCancel;
};

// A wait banner of template `templateId`, shown at once; null when it could
// not be made.
HWND CreateBanner(int templateId, HWND owner);

} // namespace norva::win
