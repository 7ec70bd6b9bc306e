#pragma once
// The nine step pages as Win32 property pages over their dialog templates.
// What each does with the buttons and its Next is frontend/PageRules.h; a
// page here only carries it out and shows.

#include "winwizard/Dialogs.h"

#include "winwizard/Win32.h"

#include <string>

namespace norva::win {

class CWinSheet;

class CWinPage {
public:
    CWinPage(CWinSheet& sheet, int step, int templateId);
    virtual ~CWinPage();
    CWinPage(const CWinPage&) = delete;
    CWinPage& operator=(const CWinPage&) = delete;

    int Step() const { return m_nStep; }
    HWND Hwnd() const { return m_hWnd; }
    // The page's entry of the sheet's header; `title` stays alive meanwhile.
    PROPSHEETPAGEW Template(const std::wstring& title);

    // Called once, when the page's window is made.
    virtual void OnInitDialog() {}
    // Called at every activation: posts the page's buttons.
    virtual void OnSetActive();
    // -1: stay on this page; 0: the sheet goes on to the next.
    virtual int OnWizardNext();
    virtual bool OnCommand(int id, int code);
    virtual LRESULT OnNotify(NMHDR* header);
    virtual void OnTimer(UINT_PTR id);
    // The page's gating box is ticked (steps 7 and 8).
    virtual bool GateTicked() const { return false; }

protected:
    void PostWizButtons(int flags) const;
    // Next as the pages' rules hand it to the sheet.
    int HandNextToSheet() const;
    // The pages' emphasis on control `id`: a bold font of the system's face.
    void SetBold(int id);
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    bool Checked(int id) const { return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED; }

    CWinSheet& m_sheet;

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int m_nStep;
    int m_nTemplateId;
    HWND m_hWnd = nullptr;
    HFONT m_fontBold = nullptr;
};

// Steps 1 and 3: the pictures, and "Wizard Setting" for the unit on the cable.
class CUnitPage : public CWinPage {
public:
    CUnitPage(CWinSheet& sheet, int step, int templateId, int unit, int paleId, int boldId);
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;

private:
    int m_nUnit;
    int m_nPaleId;
    int m_nBoldId;
};

// Steps 2 and 4: a box to tick before Next.
class CConfirmPage : public CWinPage {
public:
    CConfirmPage(CWinSheet& sheet, int step, int templateId, int boxId);
    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(int id, int code) override;

private:
    int m_nBoxId;
};

// Steps 6 and 9's texts.
class CTextPage : public CWinPage {
public:
    using CWinPage::CWinPage;
    void OnInitDialog() override;
};

// Step 5: unit 2 searches; the user picks unit 1's address and connects.
class CConnectionPage : public CWinPage {
public:
    CConnectionPage(CWinSheet& sheet);
    ~CConnectionPage() override;
    void OnInitDialog() override;
    void OnSetActive() override {}
    bool OnCommand(int id, int code) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnTimer(UINT_PTR id) override;

    void BeginSearchDisplay();
    void EndSearchDisplay();
    void EnableConnectButtons();
    void OnConnected();
    void EnableSearchButton(bool enable);
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice);
    bool Searching() const { return m_bSearching != 0; }

    CConnectingDlg m_connectingDlg;

private:
    void OnSearchButton();
    void OnConnectButton();

    HFONT m_font = nullptr;
    int m_nProgress = 0;
    int m_bSearching = 0;
};

// Steps 7 and 8: the UART each unit keeps, and the go-ahead.
class CModePage : public CWinPage {
public:
    struct Ids {
        int baud, parity, stopBits, noFlow, gate;
    };
    CModePage(CWinSheet& sheet, int step, int templateId, int unit, Ids ids);
    void OnInitDialog() override;
    int OnWizardNext() override;
    bool OnCommand(int id, int code) override;
    bool GateTicked() const override { return Checked(m_ids.gate); }

    // Handed over at Next.
    int m_nBaudRate = 0;
    int m_nParity = 0;
    int m_nStopBits = 0;
    int m_bFlowControl = 0;

private:
    int m_nUnit;
    Ids m_ids;
};

// Step 9: the pair is configured; Verify and Save log.
class CModeSuccessPage : public CTextPage {
public:
    using CTextPage::CTextPage;
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void ShowStored(const std::string& summary);
    void EnableVerify(bool enable);
};

// Draws the static's bitmap with pure white left out, so the page shows
// through.
void MakeTransparent(HWND pictureStatic);

} // namespace norva::win
