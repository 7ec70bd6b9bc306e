#include "wizard/SerialSheet.h"

#include "module/ModuleControl.h"
#include "pages/Connection.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "platform/SerialDevice.h"
#include "res/strings/StringTable.h"
#include "wizard/MessageService.h"
#include "wizard/Messages.h"
#include "wizard/QtModuleHost.h"
#include "wizard/SessionLog.h"
#include "wizard/ThreadHandoff.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cstring>
#include <new>

namespace norva {
namespace {

CSerialSheet* g_mainSheet = nullptr;

} // namespace

CSerialSheet::CSerialSheet(const QString& caption, QWidget* parent, int selectPage)
    : QDialog(parent), m_unit1Setting(this), m_unit2Setting(this),
      m_pHost(std::make_unique<CQtModuleHost>(this)), m_strCaption(caption),
      m_nStartPage(selectPage) {
    InitResources();
    g_mainSheet = this;
    setWindowTitle(caption);
    setObjectName(QStringLiteral("CSerialSheet"));
    // No Help button anywhere.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_stack = new QStackedWidget(this);

    m_pageConnection = new CConnection;
    m_pageFirst = new CFirst;
    m_pageMode = new CMode;
    m_pageMode1 = new CMode1;
    m_pageModeSuccess = new CModeSuccess;
    m_pageScan = new CScan;
    m_pageScanWait = new CScanWait;
    m_pageSearch = new CSearch;
    m_pageSuccess = new CSuccess;

    AddPage(m_pageFirst);
    AddPage(m_pageScan);
    AddPage(m_pageScanWait);
    AddPage(m_pageSearch);
    AddPage(m_pageConnection);
    AddPage(m_pageSuccess);
    AddPage(m_pageMode);
    AddPage(m_pageMode1);
    AddPage(m_pageModeSuccess);
    m_pLog = new CSessionLog(this);
    connect(m_pageModeSuccess, &CModeSuccess::SaveLogRequested, m_pLog,
            &CSessionLog::SaveWithDialog);

    // The wizard's own buttons speak the run's language, like its messages.
    const bool korean = GetUiLanguage() == UiLanguage::Korean;
    m_backButton =
        new QPushButton(korean ? QStringLiteral("< 뒤로(&B)") : QStringLiteral("< &Back"), this);
    m_nextButton =
        new QPushButton(korean ? QStringLiteral("다음(&N) >") : QStringLiteral("&Next >"), this);
    m_finishButton =
        new QPushButton(korean ? QStringLiteral("마침") : QStringLiteral("Finish"), this);
    m_cancelButton =
        new QPushButton(korean ? QStringLiteral("취소") : QStringLiteral("Cancel"), this);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_finishButton->setObjectName(QStringLiteral("finishButton"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* button : {m_backButton, m_nextButton, m_finishButton, m_cancelButton}) {
        button->setAutoDefault(false);
    }
    connect(m_backButton, &QPushButton::clicked, this, &CSerialSheet::PressBack);
    connect(m_nextButton, &QPushButton::clicked, this, &CSerialSheet::PressNext);
    connect(m_finishButton, &QPushButton::clicked, this, &CSerialSheet::PressFinish);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_nextButton);
    buttons->addWidget(m_finishButton);
    buttons->addSpacing(8);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stack, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);

    ApplyWizardButtons(0);
}

CSerialSheet::~CSerialSheet() {
    OnDestroy();
    if (g_mainSheet == this) {
        g_mainSheet = nullptr;
    }
}

CSerialSheet* CSerialSheet::MainSheet() {
    return g_mainSheet;
}

void CSerialSheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
    m_stack->addWidget(page);
}

int CSerialSheet::DoModal() {
    return exec();
}

void CSerialSheet::showEvent(QShowEvent* event) {
    if (!m_bInitialized) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CSerialSheet::OnInitDialog() {
    if (m_bInitialized) {
        return true;
    }
    m_bInitialized = true;
    // Every page initialised before step 1 shows: the dispatch changes the
    // search page's controls whichever page is up, and the UART pages take
    // their first values from the setting dialogs now.
    for (int i = GetPageCount() - 1; i >= 0; --i) {
        SetActivePage(i);
    }
    if (m_nStartPage > 0 && m_nStartPage < GetPageCount()) {
        SetActivePage(m_nStartPage);
    }
    try {
        m_pModule = std::make_unique<CModuleControl>(m_pHost.get());
    } catch (const std::bad_alloc&) {
        m_pModule.reset();
    }
    if (m_pModule) {
        m_pHost->SetModule(m_pModule.get());
        m_pLog->Attach(*m_pModule);
    } else {
        ShowMessage(QString::fromLatin1(kInsufficientMemoryText));
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
    return true;
}

void CSerialSheet::done(int result) {
    QDialog::done(result);
    OnDestroy();
}

void CSerialSheet::OnDestroy() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    const bool connecting =
        m_pageConnection != nullptr && m_pageConnection->m_connectingDlg.IsOpen();
    if (m_pageConnection != nullptr) {
        m_pageConnection->m_connectingDlg.EndDialog(CConnectingDlg::kCancelled);
    }
    if (m_pModule) {
        if (connecting) {
            CancelConnectAttempt();
        }
        if (m_pHost) {
            m_pHost->SetModule(nullptr);
        }
        m_pModule->ClosePort();
        m_pModule.reset();
    }
    if (m_pHost) {
        m_pHost->Detach();
    }
}

void CSerialSheet::CancelConnectAttempt() {
    CModuleControl& module = *m_pModule;
    if (module.m_port.m_bOpen.load() == 0) {
        return;
    }
    // Closing the port alone would leave unit 2 dialling: end the attempt
    // and tell the module, bounded so that closing stays quick.
    module.StopWorker();
    module.JobEvent(EV_STOP)->Reset();
    module.CancelCommand(kCloseCancelMs);
}

CPropertyPage* CSerialSheet::GetPage(int index) const {
    if (index < 0 || index >= GetPageCount()) {
        return nullptr;
    }
    return m_pages[static_cast<size_t>(index)];
}

int CSerialSheet::GetPageIndex(const CPropertyPage* page) const {
    for (size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] == page) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CPropertyPage* CSerialSheet::GetActivePage() const {
    if (!m_bInitialized) {
        return nullptr;
    }
    return qobject_cast<CPropertyPage*>(m_stack->currentWidget());
}

int CSerialSheet::GetActiveIndex() const {
    return GetPageIndex(GetActivePage());
}

bool CSerialSheet::SetActivePage(int index) {
    return SetActivePage(GetPage(index));
}

bool CSerialSheet::SetActivePage(CPropertyPage* page) {
    if (page == nullptr || GetPageIndex(page) < 0) {
        return false;
    }
    m_stack->setCurrentWidget(page);
    setWindowTitle(page->Caption().isEmpty() ? m_strCaption : page->Caption());
    if (!page->Initialized()) {
        page->MarkInitialized();
        page->OnInitDialog();
    }
    page->OnSetActive();
    return true;
}

void CSerialSheet::PressBack() {
    CPropertyPage* page = GetActivePage();
    if (page == nullptr || page->OnWizardBack() != 0) {
        return;
    }
    SetActivePage(GetActiveIndex() - 1);
}

void CSerialSheet::PressNext() {
    CPropertyPage* page = GetActivePage();
    if (page == nullptr) {
        return;
    }
    // The page may have been left while its hook ran (a sent WM_PAGE_NEXT).
    const int index = GetPageIndex(page);
    if (page->OnWizardNext() != 0 || GetActivePage() != page) {
        return;
    }
    SetActivePage(index + 1);
}

void CSerialSheet::PressFinish() {
    CPropertyPage* page = GetActivePage();
    if (page == nullptr || page->OnWizardFinish()) {
        accept();
    }
}

void CSerialSheet::ApplyWizardButtons(int flags) {
    m_nWizButtons = flags;
    const bool finish = (flags & PSWIZB_FINISH) != 0;
    m_backButton->setEnabled((flags & PSWIZB_BACK) != 0);
    // Finish takes Next's place, as in a wizard's last step.
    m_nextButton->setVisible(!finish);
    m_nextButton->setEnabled(!finish && (flags & PSWIZB_NEXT) != 0);
    m_finishButton->setVisible(finish);
    m_finishButton->setEnabled(finish);
    QPushButton* primary = finish ? m_finishButton : m_nextButton;
    primary->setDefault(true);
    (finish ? m_nextButton : m_finishButton)->setDefault(false);
}

void CSerialSheet::PostWizardButtons(int flags) {
    PostSheetMessage(this, PSM_SETWIZBUTTONS, 0, flags);
}

bool CSerialSheet::event(QEvent* event) {
    // Results come from the worker through Qt's queue.
    MarkReceived();
    const int type = static_cast<int>(event->type());
    switch (type) {
    case WM_JOB_RESULT:
    case WM_PAGE_NEXT:
    case WM_SEARCH_CONTROL:
    case WM_CONNECT_CONTROL:
    case PSM_SETWIZBUTTONS: {
        auto* message = static_cast<SheetEvent*>(event);
        const int wParam = static_cast<int>(message->WParam());
        // Only ever compared with the page members, never followed.
        auto* page = reinterpret_cast<CPropertyPage*>(message->LParam());
        if (type == PSM_SETWIZBUTTONS) {
            ApplyWizardButtons(static_cast<int>(message->LParam()));
        } else if (m_bDestroyed) {
            // The window is gone: late notifications change nothing.
        } else if (type == WM_JOB_RESULT) {
            // A result of a worker stopped for a reopen must not act on the
            // port opened after it.
            if (message->Generation() < 0 || !m_pModule ||
                message->Generation() == m_pModule->Generation()) {
                OnJobResult(wParam, static_cast<int>(message->LParam()));
            }
        } else if (type == WM_PAGE_NEXT) {
            OnPageNext(page);
        } else if (type == WM_SEARCH_CONTROL) {
            OnSearchControl(wParam, page);
        } else {
            OnConnectControl(wParam, page);
        }
        return true;
    }
    default:
        return QDialog::event(event);
    }
}

void CSerialSheet::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    // Enter on a focused page button presses it, as on every desktop; Enter
    // elsewhere stays the sheet's default button.
    if (enter && button != nullptr && button->isEnabled() && m_stack->isAncestorOf(button)) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSerialSheet::ReportOpenFailure() {
    QString reason;
    if (m_pModule) {
        const OsError error = m_pModule->m_port.LastOpenError();
        reason = QString::fromStdString(error.reason);
        if (reason.isEmpty() && error.code != 0) {
            reason = QString::fromLocal8Bit(std::strerror(error.code));
        }
    }
    ShowFailure(QString::fromStdString(LoadString(IDS_PORT_OPEN_FAILED)), reason);
}

bool CSerialSheet::ReopenFor(const CPortSettingDlg& setting, bool closeFirst) {
    if (closeFirst) {
        m_pModule->ClosePort();
    }
    const int opened = m_pModule->OpenPort(
        setting.m_nPort, static_cast<uint32_t>(setting.m_nBaudRate),
        static_cast<uint8_t>(setting.m_nStopBits), static_cast<uint8_t>(setting.m_nParity));
    if (opened == 0) {
        ReportOpenFailure();
        return false;
    }
    return true;
}

int CSerialSheet::OnPageNext(CPropertyPage* page) {
    if (!m_pModule || page == nullptr) {
        return 0;
    }
    CModuleControl& module = *m_pModule;
    if (page == m_pageFirst) {
        if (ReopenFor(m_unit1Setting, true)) {
            module.SignalJob(EV_STATUS);
        }
    } else if (page == m_pageScan) {
        // After a failed check the port is closed: unit 1 is still attached.
        if (!EnsurePortFor(m_unit1Setting)) {
            PostWizardButtons(PSWIZB_NEXT);
            return 0;
        }
        module.m_nScanMode.store(3);
        module.m_nScanTime.store(3000);
        module.SignalJob(EV_SCAN);
    } else if (page == m_pageScanWait) {
        if (ReopenFor(m_unit2Setting, true)) {
            module.SignalJob(EV_STATUS);
        }
    } else if (page == m_pageSearch) {
        m_pageConnection->BeginSearchDisplay();
        SetActivePage(m_pageConnection);
        module.SignalJob(EV_INQUIRY);
    } else if (page == m_pageConnection) {
        SetActivePage(m_pageSuccess);
    } else if (page == m_pageMode || page == m_pageMode1) {
        CModePageBase* mode = page == m_pageMode ? static_cast<CModePageBase*>(m_pageMode)
                                                 : static_cast<CModePageBase*>(m_pageMode1);
        if (mode->m_nParity == kOddParity) {
            // The module's command has no letter for odd parity: say so
            // before anything is stored, and let the user choose again.
            ShowMessage(LoadString(IDS_ODD_PARITY));
            PostWizardButtons(PSWIZB_NEXT);
            return 0;
        }
        CPortSettingDlg& setting = page == m_pageMode ? m_unit2Setting : m_unit1Setting;
        // Unit 2 has been on the line since step 3: reopen only when the port
        // was closed meanwhile (a failed check). Unit 1 comes back at step 8.
        const bool reopen = page == m_pageMode1 || module.m_port.m_bOpen.load() == 0;
        if (reopen && !ReopenFor(setting, page == m_pageMode1)) {
            // A renumbered USB adapter is the usual cause: offer the unit's
            // settings at once, and Next to try again.
            setting.DoModal();
            PostWizardButtons(PSWIZB_NEXT);
            return 0;
        }
        module.m_nApplyMode.store(page == m_pageMode ? 1 : 2);
        module.m_nApplyBaud.store(mode->m_nBaudRate);
        module.m_nApplyParity.store(mode->m_nParity);
        module.m_nApplyStopBits.store(mode->m_nStopBits);
        module.m_nApplyFlow.store(mode->m_bFlowControl);
        m_nApplyReruns = 0;
        if (page == m_pageMode1) {
            // Unit 1 comes back on the cable: check it is unit 1, and idle,
            // before anything is stored (the status result starts the apply).
            module.SignalJob(EV_STATUS);
        } else if (!reopen && module.m_info.m_nLinkState.load() == LINK_CONNECTED) {
            // Still linked from step 5 and in data mode: the mode command
            // would go to the other unit. Escape and hang up first; the
            // disconnect job runs the apply after it.
            module.m_nCurOp.store(OP_APPLY_AGAIN);
            module.SignalJob(EV_DISCONNECT);
        } else {
            module.SignalJob(EV_APPLY);
        }
    }
    return 0;
}

bool CSerialSheet::EnsurePortFor(const CPortSettingDlg& setting) {
    if (m_pModule->m_port.m_bOpen.load() != 0) {
        return true;
    }
    return ReopenFor(setting, false);
}

int CSerialSheet::OnSearchControl(int start, CPropertyPage* /*page*/) {
    if (GetActivePage() == m_pageConnection) {
        if (start != 0) {
            // After a failed check or a lost device the port is closed: unit 2
            // is still attached.
            if (m_pModule && !EnsurePortFor(m_unit2Setting)) {
                m_pageConnection->EnableSearchButton(true);
                PostWizardButtons(PSWIZB_BACK);
                return 0;
            }
            m_pageConnection->BeginSearchDisplay();
            if (m_pModule) {
                m_pModule->SignalJob(EV_INQUIRY);
            }
        } else {
            m_pageConnection->EndSearchDisplay();
            if (m_pModule) {
                m_pModule->SignalJob(EV_ABORT);
            }
        }
    }
    m_pageConnection->EnableSearchButton(true);
    return 0;
}

int CSerialSheet::OnConnectControl(int connect, CPropertyPage* /*page*/) {
    if (GetActivePage() == m_pageConnection && m_pModule) {
        if (connect != 0) {
            const std::string target = m_pModule->m_strTargetAddr.Get();
            if (SameAddress(target, m_pModule->m_info.Address())) {
                // Dialling its own address could only fail, or worse.
                m_pageConnection->m_connectingDlg.EndDialog(3);
                ShowMessage(FormatString(IDS_CONNECT_SELF, {target}));
                m_pageConnection->EnableConnectButtons();
                return 0;
            }
            if (!EnsurePortFor(m_unit2Setting)) {
                m_pageConnection->m_connectingDlg.EndDialog(3);
                m_pageConnection->EnableConnectButtons();
                return 0;
            }
        }
        m_pModule->SignalJob(connect != 0 ? EV_CONNECT : EV_ABORT);
    }
    m_pageConnection->EnableSearchButton(false);
    return 0;
}

} // namespace norva
