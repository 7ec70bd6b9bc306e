#pragma once
// The nine-step wizard: owns the pages, the two setting dialogs and, from its
// initialisation until it closes, the module controller.

#include "flow/Address.h"
#include "flow/PairingFlow.h"
#include "frontend/SheetAccess.h"
#include "frontend/SheetStation.h"
#include "frontend/WizardFacts.h"
#include "pages/LabelPrint.h"
#include "pages/PortSettingDlg.h"
#include "wizard/SheetView.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace norva {

class CModuleControl;
class CPropertyPage;
class CQtModuleHost;
class CSessionLog;
class CVerifyRunner;
class CConnection;
class CFirst;
class CMode;
class CMode1;
class CModeSuccess;
class CScan;
class CScanWait;
class CSearch;
class CSuccess;

using flow::SameAddress;

class CSerialSheet : public QDialog, public ISheetAccess, public IWizardFacts {
    Q_OBJECT
public:
    static constexpr int kCloseCancelMs = flow::CPairingFlow::kCloseCancelMs;
    static constexpr int kMaxApplyReruns = flow::CPairingFlow::kMaxApplyReruns;

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

    CModuleControl* Module() const override { return m_pModule.get(); }
    const CModuleControl* ModuleRead() const override { return m_pModule.get(); }
    UnitSetting UnitSettingOf(int unit) const override {
        return (unit == 1 ? m_unit1Setting : m_unit2Setting).Values();
    }
    void EditUnitSetting(int unit) override {
        (unit == 1 ? m_unit1Setting : m_unit2Setting).DoModal();
    }
    flow::UartChoice StoredUart(int unit) const override;
    const flow::CPairingFlow& Pairing() const override { return m_flow; }
    CQtModuleHost* Host() const { return m_pHost.get(); }
    CSessionLog* Log() const { return m_pLog; }
    // Step 9's check that the pair links.
    CVerifyRunner* Verifier() const { return m_pVerify; }
    // The units' addresses as read at steps 1 and 3.
    const std::string& Unit1Address() const override { return m_flow.Unit1Address(); }
    void SetConnectTarget(const std::string& address) override { m_flow.SetTarget(address); }
    const std::string& Unit2Address() const { return m_flow.Unit2Address(); }

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
    // A line of news under the page (empty hides it); a step change clears it.
    void ShowNote(const QString& text);
    QString Note() const;
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

    // The pairing's decisions; the handlers below forward to it.
    flow::CPairingFlow& Flow() { return m_flow; }
    const flow::CPairingFlow& Flow() const { return m_flow; }

    // The pairing station: the register (--record) and the label.
    CSheetStation& Station() { return m_station; }
    // Step 9's "Print label…"; the platform's print dialog unless a test
    // chooses the printer.
    void PrintLabel();
    void SetPrinterChooser(PrinterChooser choose) { m_chooser = std::move(choose); }

    // Message handlers (public so that tests can drive them directly).
    int OnJobResult(int code, int jobId);
    void AdvanceAfterJob(int code);
    int OnPageNext(CPropertyPage* page);
    int OnSearchControl(int start, CPropertyPage* page);
    int OnConnectControl(int connect, CPropertyPage* page);

    // The settings for talking to unit 1 and unit 2.
    CPortSettingDlg m_unit1Setting;
    CPortSettingDlg m_unit2Setting;

public slots:
    void done(int result) override;
    // Cancel, Escape and the close box: asks first when the pair is left
    // half configured.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void AddPage(CPropertyPage* page);
    void ApplyWizardButtons(int flags);

    // The host outlives the controller: declared first, destroyed last.
    std::unique_ptr<CQtModuleHost> m_pHost;
    std::unique_ptr<CModuleControl> m_pModule;
    std::unique_ptr<flow::PairingJobs> m_pController;
    CSheetView m_view{*this};
    flow::CPairingFlow m_flow{m_view};
    CSheetStation m_station;
    PrinterChooser m_chooser;
    // A child of the sheet: deleted after OnDestroy has closed the port.
    CSessionLog* m_pLog = nullptr;
    // A child of the sheet too; it closes the sheet's port before it checks.
    CVerifyRunner* m_pVerify = nullptr;

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
    QLabel* m_note = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QPushButton* m_finishButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QString m_strCaption;
    // After every caption when the simulator runs the wizard; else empty.
    QString m_strDemo;
    int m_nStartPage = 0;
    int m_nWizButtons = 0;
    bool m_bWizardMode = false;
    bool m_bInitialized = false;
    bool m_bDestroyed = false;
};

} // namespace norva
