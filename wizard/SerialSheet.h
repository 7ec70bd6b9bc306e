#pragma once
// The nine-step wizard: owns the pages, the two setting dialogs and, from its
// initialisation until it closes, the module controller.

#include "pages/PortSettingDlg.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QPushButton;
class QStackedWidget;

namespace norva {

class CModuleControl;
class CPropertyPage;
class CQtModuleHost;
class CConnection;
class CFirst;
class CMode;
class CMode1;
class CModeSuccess;
class CScan;
class CScanWait;
class CSearch;
class CSuccess;

// True when two Bluetooth addresses name the same device (case and the
// colons of a typed address do not count).
bool SameAddress(const std::string& a, const std::string& b);

class CSerialSheet : public QDialog {
    Q_OBJECT
public:
    // Closing during a connect attempt waits this long for the module to
    // confirm the cancel.
    static constexpr int kCloseCancelMs = 1000;
    // An apply that the module leaves unconfirmed is run again this often
    // before the user is told.
    static constexpr int kMaxApplyReruns = 2;

    // The application passes "Configuration", no parent and page 0.
    explicit CSerialSheet(const QString& caption, QWidget* parent = nullptr, int selectPage = 0);
    ~CSerialSheet() override;

    // The sheet that pages reach as the application's main window.
    static CSerialSheet* MainSheet();

    void SetWizardMode() { m_bWizardMode = true; }
    // Initialises (once) and runs the sheet modally.
    int DoModal();
    // Activates every page once from the last to the first, then creates the
    // controller. Runs at the first show; later calls do nothing.
    bool OnInitDialog();
    // Stops the worker, closes the port, deletes the controller. After it the
    // sheet counts as gone: late notifications are dropped.
    void OnDestroy();
    bool Destroyed() const { return m_bDestroyed; }

    CModuleControl* Module() const { return m_pModule.get(); }
    CQtModuleHost* Host() const { return m_pHost.get(); }

    // Property-sheet mechanics.
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    bool SetActivePage(CPropertyPage* page);
    bool SetActivePage(int index);
    // The wizard-button flags last applied (PSWIZB_*).
    int WizardButtons() const { return m_nWizButtons; }
    QPushButton* BackButton() const { return m_backButton; }
    QPushButton* NextButton() const { return m_nextButton; }
    QPushButton* FinishButton() const { return m_finishButton; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    // What the buttons do: the page's hook decides, the sheet moves.
    void PressBack();
    void PressNext();
    void PressFinish();

    CFirst* FirstPage() const { return m_pageFirst; }
    CScan* ScanPage() const { return m_pageScan; }
    CScanWait* ScanWaitPage() const { return m_pageScanWait; }
    CSearch* SearchPage() const { return m_pageSearch; }
    CConnection* ConnectionPage() const { return m_pageConnection; }
    CSuccess* SuccessPage() const { return m_pageSuccess; }
    CMode* ModePage() const { return m_pageMode; }
    CMode1* Mode1Page() const { return m_pageMode1; }
    CModeSuccess* ModeSuccessPage() const { return m_pageModeSuccess; }

    // Message handlers (public so that tests can drive them directly).
    int OnJobResult(int code, int jobId);
    void AdvanceAfterJob(int code);
    int OnPageNext(CPropertyPage* page);
    int OnSearchControl(int start, CPropertyPage* page);
    int OnConnectControl(int connect, CPropertyPage* page);

    // The addresses read at step 1 (unit 1) and step 3 (unit 2); empty until then.
    const std::string& Unit1Address() const { return m_strUnit1Address; }
    const std::string& Unit2Address() const { return m_strUnit2Address; }

    // The settings for talking to unit 1 and unit 2.
    CPortSettingDlg m_unit1Setting;
    CPortSettingDlg m_unit2Setting;

public slots:
    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void AddPage(CPropertyPage* page);
    void ApplyWizardButtons(int flags);
    // ClosePort + OpenPort with a unit's settings; reports a failure.
    bool ReopenFor(const CPortSettingDlg& setting, bool closeFirst);
    // Opens the port for the unit attached now unless it is open.
    bool EnsurePortFor(const CPortSettingDlg& setting);
    // Closing during a connect attempt: the module is told to stop dialling.
    void CancelConnectAttempt();
    // After a failed check or a lost device: the page's way on stays open.
    void OfferRetry();
    void OnDeviceGone(int jobId);
    // A status read on steps 3 and 8 names the unit on the cable.
    bool WrongUnitOnCable();
    void ReportOpenFailure();
    void PostWizardButtons(int flags);

    // The host outlives the controller: declared first, destroyed last.
    std::unique_ptr<CQtModuleHost> m_pHost;
    std::unique_ptr<CModuleControl> m_pModule;

    CConnection* m_pageConnection = nullptr;
    CFirst* m_pageFirst = nullptr;
    CMode* m_pageMode = nullptr;
    CMode1* m_pageMode1 = nullptr;
    CModeSuccess* m_pageModeSuccess = nullptr;
    CScan* m_pageScan = nullptr;
    CScanWait* m_pageScanWait = nullptr;
    CSearch* m_pageSearch = nullptr;
    CSuccess* m_pageSuccess = nullptr;

    std::vector<CPropertyPage*> m_pages;
    QStackedWidget* m_stack = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QPushButton* m_finishButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QString m_strCaption;
    int m_nStartPage = 0;
    int m_nWizButtons = 0;
    // Apply jobs re-run after a status check within one Next press.
    int m_nApplyReruns = 0;
    // Unit 1's address as read at step 1.
    std::string m_strUnit1Address;
    std::string m_strUnit2Address;
    bool m_bWizardMode = false;
    bool m_bInitialized = false;
    bool m_bDestroyed = false;
};

} // namespace norva
