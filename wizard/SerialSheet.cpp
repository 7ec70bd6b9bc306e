#include "wizard/SerialSheet.h"

#include "module/ModuleControl.h"
#include "pages/Connection.h"
#include "pages/First.h"
#include "pages/MessageService.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/SheetMessages.h"
#include "pages/Success.h"
#include "pages/ThreadHandoff.h"
#include "res/strings/StringTable.h"
#include "wizard/QtModuleHost.h"
#include "wizard/SessionLog.h"
#include "wizard/VerifyRunner.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
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
    CPropertyPage::SetMainSheet(this, this);
    // A search in a setting dialog needs the port the controller may hold;
    // the next step reopens it.
    for (CPortSettingDlg* setting : {&m_unit1Setting, &m_unit2Setting}) {
        setting->SetPortReleaser([this] {
            if (m_pModule && m_pModule->JobRunning()) {
                return false;
            }
            if (m_pModule) {
                m_pModule->ClosePort();
            }
            return true;
        });
    }
    // Started by the simulator, which moves the cable itself: the user is
    // told that there is nothing to move.
    if (qEnvironmentVariable("NORVAWIZARD_SIMULATED") == QLatin1String("follow")) {
        m_strDemo = QString::fromStdString(LoadString(IDS_DEMO_SIMULATED));
    }
    setWindowTitle(caption + m_strDemo);
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
    m_pLog->SetTrailer([this] { return m_station.TraitsText(); });
    connect(m_pageModeSuccess, &CModeSuccess::SaveLogRequested, m_pLog,
            &CSessionLog::SaveWithDialog);
    m_pVerify = new CVerifyRunner(this);
    connect(m_pageModeSuccess, &CModeSuccess::VerifyRequested, this, [this] {
        if (m_pVerify->Start(*this)) {
            m_pageModeSuccess->m_btnVerify->setEnabled(false);
        }
    });
    connect(m_pVerify, &CVerifyRunner::Finished, m_pageModeSuccess,
            [this] { m_pageModeSuccess->m_btnVerify->setEnabled(true); });
    connect(m_pVerify, &CVerifyRunner::Finished, this,
            [this] { m_station.Verified(m_pVerify->LastResult()); });
    connect(m_pageModeSuccess, &CModeSuccess::PrintLabelRequested, this, &CSerialSheet::PrintLabel);

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

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("stepNote"));
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note->hide();

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
    layout->addWidget(m_note);
    layout->addWidget(line);
    layout->addLayout(buttons);

    ApplyWizardButtons(0);
}

CSerialSheet::~CSerialSheet() {
    OnDestroy();
    if (g_mainSheet == this) {
        g_mainSheet = nullptr;
        CPropertyPage::SetMainSheet(nullptr, nullptr);
    }
}

CSerialSheet* CSerialSheet::MainSheet() {
    return g_mainSheet;
}

flow::UartChoice CSerialSheet::StoredUart(int unit) const {
    const CModePageBase* page = unit == 1 ? static_cast<const CModePageBase*>(m_pageMode1)
                                          : static_cast<const CModePageBase*>(m_pageMode);
    return {page->m_nBaudRate, page->m_nParity, page->m_nStopBits, page->m_bFlowControl};
}

void CSerialSheet::ShowNote(const QString& text) {
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
}

QString CSerialSheet::Note() const {
    return m_note->text();
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
        m_pController = std::make_unique<flow::PairingJobs>(*m_pModule);
        m_flow.Attach(m_pController.get());
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

void CSerialSheet::reject() {
    if (!m_bDestroyed && m_flow.HalfPaired() &&
        !AskYesNo(QString::fromStdString(LoadString(IDS_QUIT_HALF_PAIRED)))) {
        return;
    }
    QDialog::reject();
}

void CSerialSheet::OnDestroy() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    if (m_pVerify != nullptr) {
        m_pVerify->Shutdown();
    }
    m_station.Closed();
    const bool connecting =
        m_pageConnection != nullptr && m_pageConnection->m_connectingDlg.IsOpen();
    if (m_pageConnection != nullptr) {
        m_pageConnection->m_connectingDlg.EndDialog(CConnectingDlg::kCancelled);
    }
    if (m_pModule) {
        if (connecting) {
            m_flow.Cancel(kCloseCancelMs);
        }
        if (m_pHost) {
            m_pHost->SetModule(nullptr);
        }
        // A message box may be up in the flow: it must find the run over.
        m_flow.Attach(nullptr);
        m_pModule->ClosePort();
        m_pModule.reset();
    }
    if (m_pHost) {
        m_pHost->Detach();
    }
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
    if (m_stack->currentWidget() != page) {
        ShowNote(QString());
    }
    m_stack->setCurrentWidget(page);
    setWindowTitle((page->Caption().isEmpty() ? m_strCaption : page->Caption()) + m_strDemo);
    if (!page->Initialized()) {
        page->MarkInitialized();
        page->OnInitDialog();
    }
    page->OnSetActive();
    const int index = GetPageIndex(page);
    if (index == flow::STEP_FIRST || index == flow::STEP_SCAN_WAIT) {
        // These pages hold only "Wizard Setting": Return goes to Next, the
        // button drawn as default, unless the user tabs to the other.
        m_nextButton->setFocus();
    }
    if (m_pModule) {
        m_station.Arrived(index, *this);
    }
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
    m_station.Pressed(index, *this);
    // From the search on, both units are known: one of another pair goes no
    // further.
    if (index >= GetPageIndex(m_pageSearch)) {
        if (const std::string why = m_station.Refusal(); !why.empty()) {
            ShowMessage(why);
            return;
        }
    }
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

void CSerialSheet::PrintLabel() {
    station::LabelLayout layout;
    std::string error;
    if (!station::LayOutLabel(m_station.Label(), layout, error)) {
        ShowMessage(FormatString(IDS_PRINT_LABEL_FAILED, {error}));
        return;
    }
    norva::PrintLabel(layout, this, m_chooser);
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
        auto* page = reinterpret_cast<CPropertyPage*>( // NOLINT(performance-no-int-to-ptr)
            message->LParam());
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

} // namespace norva
