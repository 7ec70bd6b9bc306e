#pragma once
// "Application Setting": the COM port and line settings the wizard talks to
// one unit with. Only its own OK button stores; Detect searches the port for
// the setting the module keeps.

#include "frontend/DetectJob.h"
#include "frontend/PortChoices.h"
#include "frontend/UnitSetting.h"

#include "winwizard/Win32.h"

#include <functional>
#include <string>

namespace norva::win {

class CUiQueue;

class CPortSettingDlg {
public:
    // `releasePort`: whoever holds the port lets it go before a search, or
    // says no while a job uses it.
    CPortSettingDlg(CUiQueue& queue, std::function<bool()> releasePort);

    // Fills the boxes (a fresh reading of the ports) and runs the dialog.
    int DoModal(HWND owner);
    const UnitSetting& Values() const { return m_values; }

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnOk();
    void OnDetect();
    void OnDetectFinished(const DetectResult& result);
    void ShowDetectIdle(const std::string& text);
    void ShowPortText(const std::string& extra = {});
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    UnitSetting m_values;
    PortChoices m_choices;
    DetectJob m_detect;
    std::function<bool()> m_releasePort;
    std::string m_searchPort; // the port searched, as the box named it
    HWND m_hWnd = nullptr;
};

} // namespace norva::win
