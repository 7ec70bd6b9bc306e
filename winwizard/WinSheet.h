#pragma once
// The nine-step wizard as a Win32 property sheet: owns the pages, the two
// units' settings and, from its initialisation until its window goes, the
// module controller. The flow decides; the sheet, its view and pages show.

#include "flow/PairingController.h"
#include "flow/PairingFlow.h"
#include "frontend/SessionLog.h"
#include "frontend/SheetAccess.h"
#include "frontend/VerifyJob.h"
#include "frontend/WizardFacts.h"
#include "winwizard/Dialogs.h"
#include "winwizard/Pages.h"
#include "winwizard/PortSettingDlg.h"
#include "winwizard/UiQueue.h"
#include "winwizard/WinHost.h"
#include "winwizard/WinView.h"

#include "winwizard/Win32.h"

#include <memory>
#include <string>
#include <vector>

namespace norva::win {

class CWinSheet : public ISheetAccess, public IWizardFacts {
public:
    CWinSheet();
    ~CWinSheet();
    CWinSheet(const CWinSheet&) = delete;
    CWinSheet& operator=(const CWinSheet&) = delete;

    // Runs the wizard modally; returns when it has closed.
    void Run();

    HWND Hwnd() const { return m_hWnd; }
    bool Destroyed() const { return m_bDestroyed; }

    CModuleControl* Module() const override { return m_pModule.get(); }
    const CModuleControl* ModuleRead() const override { return m_pModule.get(); }
    UnitSetting UnitSettingOf(int unit) const override;
    void EditUnitSetting(int unit) override;
    const std::string& Unit1Address() const override { return m_flow.Unit1Address(); }
    void SetConnectTarget(const std::string& address) override { m_flow.SetTarget(address); }
    flow::UartChoice StoredUart(int unit) const override;
    const flow::CPairingFlow& Pairing() const override { return m_flow; }

    int ActiveStep() const;
    void ShowStep(int step);
    // A line of news under the page (empty hides it); a step change clears it.
    void ShowNote(const std::string& text);
    // The program's box, with the banners out of the way; a failure's box
    // offers to save the log. False when the wizard closed meanwhile.
    bool ShowBox(const std::string& text, const std::string& details, bool failure);
    void SaveLogWithDialog();
    void StartVerify();

    CConnectionPage& Connection() { return m_connection; }
    CModeSuccessPage& ModeSuccess() { return m_modeSuccess; }
    CUiQueue& Queue() { return m_queue; }
    CWinModuleHost& Host() { return m_host; }
    flow::CPairingFlow& Flow() { return m_flow; }

private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void OnInitDialog();
    void OnDestroy();
    bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MakeNoteRoom();
    bool ReleasePortForSearch();

    // The queue and host outlive the controller: declared first, destroyed last.
    CUiQueue m_queue;
    CWinModuleHost m_host{*this};
    std::unique_ptr<CModuleControl> m_pModule;
    std::unique_ptr<flow::PairingJobs> m_pController;
    CWinView m_view{*this};
    flow::CPairingFlow m_flow{m_view};
    SessionLog m_log;
    VerifyJob m_verify;
    CVerifyDlg m_verifyDlg;
    CPortSettingDlg m_unitSetting[2];

    CUnitPage m_first;
    CConfirmPage m_scan;
    CUnitPage m_scanWait;
    CConfirmPage m_search;
    CConnectionPage m_connection;
    CTextPage m_success;
    CModePage m_mode;
    CModePage m_mode1;
    CModeSuccessPage m_modeSuccess;
    std::vector<CWinPage*> m_pages;

    HWND m_hWnd = nullptr;
    HWND m_note = nullptr;
    HWND m_lastPage = nullptr;
    std::wstring m_demo; // after every caption when the simulator runs the wizard
    bool m_bInitialized = false;
    bool m_bDestroyed = false;
};

} // namespace norva::win
