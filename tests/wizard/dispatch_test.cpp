// Every row of the job-result tables: results injected as the worker posts
// them; the page shown, the messages, the events signalled and the
// controller's fields checked afterwards.

#include "GuiFixture.h"
#include "pages/Connection.h"
#include "pages/First.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "res/strings/StringTable.h"
#include "support/ControlProbe.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace norva::test {
namespace {

using Slots = std::set<int>;

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

class DispatchTest : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        ResetEvents();
    }

    // A status that finds the link up: back to data mode, then the hang-up.
    void ExpectHangUpAfterStatus() {
        Inject(1, JOB_STATUS);
        EXPECT_EQ(Signalled(), Slots{EV_RETURN_ONLINE});
        ResetEvents();
        Inject(RC_OK, JOB_RETURN_ONLINE);
        EXPECT_EQ(Signalled(), Slots{EV_DISCONNECT});
    }

    // Connect reopens a closed port first: the line is open as after step 4.
    // Step 5 with a device chosen: Connect dials it.
    void ShowConnection() {
        OpenIdlePort(unit2);
        Show(S().ConnectionPage());
        S().ConnectionPage()->m_editAddress->setText(QStringLiteral("0001950A0B0D"));
    }
    ScriptedPeer unit2;

    // Presses Connect on the search page; `during` runs inside the Connecting
    // dialog's modal run. Returns the run's code; `stillOpen` tells whether
    // the dialog was still up after `during` (the test then cancels it).
    int RunConnect(const std::function<void()>& during, bool* stillOpen = nullptr) {
        CConnection* page = S().ConnectionPage();
        bool open = false;
        QTimer::singleShot(0, page, [&] {
            // The posted WM_CONNECT_CONTROL is queued behind this call.
            Pump();
            during();
            open = page->m_connectingDlg.IsOpen();
            if (open) {
                page->m_connectingDlg.m_cancelButton->click();
            }
        });
        page->m_btnConnect->setEnabled(true);
        page->m_btnConnect->click();
        if (stillOpen != nullptr) {
            *stillOpen = open;
        }
        return page->m_connectingDlg.result();
    }
};

// --- Job 2, connect -------------------------------------------------------

TEST_F(DispatchTest, ConnectStoppedDoesNothing) {
    ShowConnection();
    Inject(RC_STOPPED, JOB_CONNECT);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(DispatchTest, ConnectAbortedCancelsTheCommand) {
    ShowConnection();
    Inject(RC_ABORTED, JOB_CONNECT);
    EXPECT_EQ(Signalled(), Slots{EV_CANCEL_CMD});
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(DispatchTest, ConnectedEndsTheDialogWithOneAndShowsStepSix) {
    ShowConnection();
    CConnection* page = S().ConnectionPage();
    page->m_editAddress->setText(QStringLiteral("0001950A0B0C"));
    int linkWhenSuccessShown = -1;
    const int code = RunConnect([&] {
        EXPECT_EQ(Signalled(), Slots{EV_CONNECT});
        EXPECT_EQ(test::ControlProbe::Target(M()), "0001950A0B0C");
        ResetEvents();
        Inject(RC_CONNECTED, JOB_CONNECT);
        linkWhenSuccessShown = M().LastStatus().m_nLinkState;
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(linkWhenSuccessShown, LINK_CONNECTED);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
    EXPECT_FALSE(page->m_btnConnect->isEnabled());
    // No abort went out after the dialog ended.
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(DispatchTest, ConnectErrorAfterOkEndsTheDialogWithTwo) {
    ShowConnection();
    const int code = RunConnect([&] {
        ResetEvents();
        Inject(RC_ERROR_AFTER_OK, JOB_CONNECT);
    });
    EXPECT_EQ(code, 2);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_CONNECT_TIMEOUT)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ConnectionPage()));
}

TEST_F(DispatchTest, ConnectTimeoutEndsTheDialogInsteadOfLeavingItSpinning) {
    ShowConnection();
    const int code = RunConnect([&] {
        ResetEvents();
        Inject(RC_TIMEOUT, JOB_CONNECT);
    });
    EXPECT_EQ(code, 2);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_CONNECT_TIMEOUT)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, ConnectErrorEndsTheDialogWithThree) {
    ShowConnection();
    const int code = RunConnect([&] {
        ResetEvents();
        Inject(RC_ERROR, JOB_CONNECT);
    });
    EXPECT_EQ(code, 3);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_CONNECT_FAILED)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, ConnectOverflowEndsTheDialogAsAFailure) {
    ShowConnection();
    const int code = RunConnect([&] {
        ResetEvents();
        Inject(RC_OVERFLOW, JOB_CONNECT);
    });
    EXPECT_EQ(code, 3);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_CONNECT_FAILED)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, ConnectOtherResultQueriesStatusAndLeavesTheDialogOpen) {
    ShowConnection();
    bool stillOpen = false;
    const int code = RunConnect(
        [&] {
            ResetEvents();
            Inject(RC_OK, JOB_CONNECT);
            EXPECT_EQ(Signalled(), Slots{EV_STATUS});
            ResetEvents();
        },
        &stillOpen);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(code, CConnectingDlg::kCancelled);
    // The dialog's Cancel aborts the attempt.
    EXPECT_EQ(Signalled(), Slots{EV_ABORT});
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(DispatchTest, ConnectFailureWithoutTheDialogStillReports) {
    ShowConnection();
    Inject(RC_ERROR, JOB_CONNECT);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_CONNECT_FAILED)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

// --- Job 3, disconnect ----------------------------------------------------

TEST_F(DispatchTest, DisconnectedShowsMessageAndQueriesStatus) {
    M().SetLinkState(LINK_DISCONNECTING);
    Inject(RC_DISCONNECTED, JOB_DISCONNECT);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_DISCONNECTED)});
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, DisconnectedDuringApplyRunsTheApplyAgain) {
    Show(S().ModePage());
    Inject(RC_TIMEOUT, JOB_APPLY);
    ResetEvents();
    M().SetLinkState(LINK_DISCONNECTING);
    Inject(RC_DISCONNECTED, JOB_DISCONNECT);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_DISCONNECTED)});
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_EQ(Signalled(), Slots{EV_APPLY});
}

TEST_F(DispatchTest, DisconnectOtherResults) {
    // Without DISCONNECT the link is checked again, so that no outcome
    // leaves the wizard waiting with every button off.
    for (int code : {RC_TIMEOUT, RC_ERROR, RC_ABORTED, RC_OVERFLOW}) {
        ResetEvents();
        Inject(code, JOB_DISCONNECT);
        EXPECT_EQ(Signalled(), Slots{EV_STATUS}) << code;
    }
    ResetEvents();
    Inject(RC_STOPPED, JOB_DISCONNECT);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
}

// --- Job 5, reset ---------------------------------------------------------

TEST_F(DispatchTest, ResetErrorReportsAndQueriesStatus) {
    Inject(RC_ERROR, JOB_RESET);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_RESET_FAILED)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, ResetDoneReportsAndClosesThePort) {
    for (int code : {RC_OK, RC_DONE}) {
        ScriptedPeer peer;
        OpenIdlePort(peer);
        messages.Clear();
        Inject(code, JOB_RESET);
        EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_SETTING_FINISHED)}) << code;
        EXPECT_EQ(M().PortOpen(), 0) << code;
    }
}

TEST_F(DispatchTest, ResetOtherResultsDoNothing) {
    for (int code : {RC_STOPPED, RC_TIMEOUT, RC_ABORTED}) {
        Inject(code, JOB_RESET);
    }
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
}

// --- Job 8, escape --------------------------------------------------------

TEST_F(DispatchTest, EscapeFailureQueriesStatus) {
    Inject(RC_STOPPED, JOB_ESCAPE);
    Inject(RC_OK, JOB_ESCAPE);
    EXPECT_EQ(Signalled(), Slots{});
    Inject(RC_TIMEOUT, JOB_ESCAPE);
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
    EXPECT_EQ(messages.Count(), 0u);
}

// --- Job 9, status --------------------------------------------------------

TEST_F(DispatchTest, StatusStoppedDoesNothing) {
    Inject(RC_STOPPED, JOB_STATUS);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(DispatchTest, StatusFailureClosesThePortAndOffersNextOnly) {
    // A time-out, abort or overflow read no status either: same as a failure.
    for (int code : {0, int{RC_TIMEOUT}, int{RC_ABORTED}, int{RC_OVERFLOW}}) {
        ScriptedPeer peer;
        OpenIdlePort(peer);
        // Stale fields that would otherwise move the wizard on.
        M().SetLinkState(LINK_STANDBY);
        messages.Clear();
        PostSheetMessage(sheet.get(), PSM_SETWIZBUTTONS, 0, 0);
        Pump();
        Inject(code, JOB_STATUS);
        EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_DISCONNECTING) << code;
        EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)}) << code;
        EXPECT_EQ(M().PortOpen(), 0) << code;
        EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT) << code;
        EXPECT_EQ(S().GetActiveIndex(), 0) << code;
        EXPECT_EQ(Signalled(), Slots{}) << code;
    }
}

TEST_F(DispatchTest, StatusConnectedReturnsOnlineThenDisconnects) {
    M().SetLinkState(LINK_CONNECTED);
    ExpectHangUpAfterStatus();
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(DispatchTest, StatusPendingCancelsTheCommandFirst) {
    M().SetLinkState(LINK_PENDING);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(Signalled(), Slots{EV_CANCEL_CMD});
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(DispatchTest, StatusIdleInModeTwoSetsModeZeroThenShowsStepTwo) {
    M().SetLinkState(LINK_STANDBY);
    test::ControlProbe::Info(M()).m_nOpMode.store(2);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(Signalled(), Slots{EV_SET_MODE});
    EXPECT_EQ(S().GetActiveIndex(), 0);
    Inject(RC_OK, JOB_SET_MODE);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
}

TEST_F(DispatchTest, StatusIdleInModeZeroSendsNothing) {
    ScriptedPeer peer;
    OpenIdlePort(peer);
    M().SetLinkState(LINK_STANDBY);
    test::ControlProbe::Info(M()).m_nOpMode.store(0);
    Inject(1, JOB_STATUS);
    Pump(50);
    EXPECT_TRUE(peer.Commands().empty());
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
}

TEST_F(DispatchTest, StatusIdleOnStepThreeShowsStepFour) {
    Show(S().ScanWaitPage());
    M().SetLinkState(LINK_STANDBY);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SearchPage()));
}

TEST_F(DispatchTest, StatusIdleOnTheSearchPageMovesNothing) {
    Show(S().ConnectionPage());
    M().SetLinkState(LINK_STANDBY);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ConnectionPage()));
    EXPECT_EQ(Signalled(), Slots{});
}

TEST_F(DispatchTest, StatusWithAnotherLinkStateChangesNothing) {
    M().SetLinkState(LINK_DISCONNECTING);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(S().GetActiveIndex(), 0);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
}

// --- Job 10, cancel command -----------------------------------------------

TEST_F(DispatchTest, CancelCommandStoppedAndFailed) {
    Inject(RC_STOPPED, JOB_CANCEL_CMD);
    EXPECT_EQ(Signalled(), Slots{});
    Inject(RC_TIMEOUT, JOB_CANCEL_CMD);
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
}

TEST_F(DispatchTest, CancelAfterInquiryEndsTheSearchDisplay) {
    Show(S().ConnectionPage());
    S().ConnectionPage()->BeginSearchDisplay();
    Pump();
    M().SetLinkState(LINK_PENDING);
    Inject(RC_ABORTED, JOB_INQUIRY);
    Inject(RC_OK, JOB_CANCEL_CMD);
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_EQ(S().ConnectionPage()->m_btnSearch->text(), QStringLiteral("Search"));
    EXPECT_EQ(S().ConnectionPage()->m_bSearching, 0);
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
}

TEST_F(DispatchTest, CancelAfterScanClearsTheState) {
    Show(S().ScanPage());
    M().SetLinkState(LINK_PENDING);
    Inject(RC_ABORTED, JOB_SCAN);
    Inject(RC_OK, JOB_CANCEL_CMD);
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
}

TEST_F(DispatchTest, CancelAfterConnectEnablesTheButtons) {
    Show(S().ConnectionPage());
    CConnection* page = S().ConnectionPage();
    page->m_btnConnect->setEnabled(false);
    page->m_btnSearch->setEnabled(false);
    M().SetLinkState(LINK_PENDING);
    Inject(RC_ABORTED, JOB_CONNECT);
    Inject(RC_OK, JOB_CANCEL_CMD);
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_TRUE(page->m_btnConnect->isEnabled());
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
}

TEST_F(DispatchTest, CancelAfterPendingStatusMovesOn) {
    M().SetLinkState(LINK_PENDING);
    Inject(1, JOB_STATUS);
    Inject(RC_OK, JOB_CANCEL_CMD);
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_STANDBY);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
}

TEST_F(DispatchTest, CancelAfterAnotherOperationChangesNothing) {
    M().SetLinkState(LINK_PENDING);
    Inject(RC_OK, JOB_CANCEL_CMD);
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_PENDING);
    EXPECT_EQ(Signalled(), Slots{});
}

// --- Job 11, scan ---------------------------------------------------------

TEST_F(DispatchTest, ScanResults) {
    Show(S().ScanPage());
    Inject(RC_STOPPED, JOB_SCAN);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
    // The module confirms a scan at once: no confirmation is a failed check,
    // and Next tries again.
    Inject(RC_TIMEOUT, JOB_SCAN);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)});
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
    EXPECT_EQ(Signalled(), Slots{});
    messages.Clear();
    Inject(RC_ABORTED, JOB_SCAN);
    EXPECT_EQ(Signalled(), Slots{EV_CANCEL_CMD});
    ResetEvents();
    Inject(RC_ERROR, JOB_SCAN);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_SCAN_ERROR)});
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
    // The check finds the unit idle: the page's Next, off since the scan
    // began, comes back to scan again.
    S().NextButton()->setEnabled(false);
    M().SetLinkState(LINK_STANDBY);
    Inject(1, JOB_STATUS);
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
    EXPECT_TRUE(S().NextButton()->isEnabled());
    Inject(RC_OK, JOB_SCAN);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanWaitPage()));
}

TEST_F(DispatchTest, ScanOkOnlyAdvancesFromStepTwo) {
    Inject(RC_OK, JOB_SCAN);
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

// --- Job 12, inquiry ------------------------------------------------------

TEST_F(DispatchTest, InquiryStoppedLeavesTheSearchDisplay) {
    Show(S().ConnectionPage());
    S().ConnectionPage()->BeginSearchDisplay();
    Pump();
    Inject(RC_STOPPED, JOB_INQUIRY);
    EXPECT_EQ(S().ConnectionPage()->m_bSearching, 1);
    EXPECT_EQ(S().ConnectionPage()->m_btnSearch->text(), QStringLiteral("Cancel Search"));
    EXPECT_EQ(Signalled(), Slots{});
}

TEST_F(DispatchTest, InquiryResults) {
    struct Row {
        int code;
        Slots expected;
    };
    for (const Row& row : {Row{RC_ABORTED, {EV_CANCEL_CMD}}, Row{RC_DONE, {}},
                           Row{RC_ERROR, {EV_STATUS}}, Row{RC_TIMEOUT, {EV_STATUS}}}) {
        Show(S().ConnectionPage());
        S().ConnectionPage()->BeginSearchDisplay();
        Pump();
        ResetEvents();
        Inject(row.code, JOB_INQUIRY);
        EXPECT_EQ(Signalled(), row.expected) << row.code;
        EXPECT_EQ(S().ConnectionPage()->m_bSearching, 0) << row.code;
        EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK) << row.code;
    }
}

TEST_F(DispatchTest, InquiryEndOnAnotherPageLeavesTheSearchDisplay) {
    S().ConnectionPage()->BeginSearchDisplay();
    Show(S().SuccessPage());
    Inject(RC_DONE, JOB_INQUIRY);
    EXPECT_EQ(S().ConnectionPage()->m_bSearching, 1);
    S().ConnectionPage()->EndSearchDisplay();
}

// --- Job 21, apply --------------------------------------------------------

TEST_F(DispatchTest, ApplyDoneMovesFromStepSevenToEightToNine) {
    Show(S().ModePage());
    Inject(RC_DONE, JOB_APPLY);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().Mode1Page()));
    Inject(RC_DONE, JOB_APPLY);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModeSuccessPage()));
    EXPECT_EQ(S().WizardButtons(), PSWIZB_FINISH);
    Inject(RC_DONE, JOB_APPLY);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModeSuccessPage()));
}

TEST_F(DispatchTest, ApplyDoneElsewhereDoesNothing) {
    Inject(RC_DONE, JOB_APPLY);
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(DispatchTest, ApplyTimeoutChecksTheLinkForAnotherRun) {
    Show(S().ModePage());
    Inject(RC_TIMEOUT, JOB_APPLY);
    EXPECT_EQ(Signalled(), Slots{EV_STATUS});
    EXPECT_EQ(messages.Count(), 0u);
    // Still linked: the hang-up carries the apply along.
    ResetEvents();
    M().SetLinkState(LINK_CONNECTED);
    ExpectHangUpAfterStatus();
    EXPECT_TRUE(test::ControlProbe::ApplyAfterHangUp(M()));
}

TEST_F(DispatchTest, AnIdleUnitOnAStoringStepIsAppliedAgainButNotForEver) {
    // The check after an unanswered apply found the link gone (dropped, or
    // hung up): the unit is in command mode, so the settings are stored now.
    Show(S().ModePage());
    M().SetLinkState(LINK_STANDBY);
    for (int run = 0; run < CSerialSheet::kMaxApplyReruns; ++run) {
        ResetEvents();
        Inject(1, JOB_STATUS);
        EXPECT_EQ(Signalled(), Slots{EV_APPLY}) << run;
    }
    ResetEvents();
    Inject(1, JOB_STATUS);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_APPLY_NOT_CONFIRMED)});
    Pump();
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
}

TEST_F(DispatchTest, AResultFromTheWorkerOfAnEarlierOpenIsDropped) {
    ScriptedPeer first;
    OpenIdlePort(first);
    const int stale = M().Generation();
    ScriptedPeer second;
    M().ClosePort();
    OpenIdlePort(second);
    // A failed check of the stopped worker must not close the fresh port.
    QCoreApplication::postEvent(sheet.get(), new SheetEvent(WM_JOB_RESULT, 0, JOB_STATUS, stale));
    Pump();
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(M().PortOpen(), 1);
    QCoreApplication::postEvent(sheet.get(),
                                new SheetEvent(WM_JOB_RESULT, 0, JOB_STATUS, M().Generation()));
    Pump();
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)});
    EXPECT_EQ(M().PortOpen(), 0);
}

TEST_F(DispatchTest, ApplyOkDoesNothing) {
    Show(S().ModePage());
    Inject(RC_OK, JOB_APPLY);
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModePage()));
}

TEST_F(DispatchTest, ApplyFailureNamesTheStepAndOffersNextOnly) {
    // An English run puts the text together from English fragments.
    const std::string prefix = "Failed in the following setting step: ";
    struct Row {
        int code;
        int op;
        std::string text;
    };
    for (const Row& row : {Row{RC_ERROR, OP_SET_UART, prefix + ": Serial communication setting"},
                           Row{RC_ERROR, OP_SET_MODE, prefix + ": Operation mode setting"},
                           Row{RC_STOPPED, OP_WRITE_SREG, prefix + "Response message setting"},
                           Row{RC_ABORTED, OP_NONE, prefix}}) {
        Show(S().Mode1Page());
        PostSheetMessage(sheet.get(), PSM_SETWIZBUTTONS, 0, 0);
        Pump();
        messages.Clear();
        test::ControlProbe::SetLastStep(M(), row.op);
        Inject(row.code, JOB_APPLY);
        EXPECT_EQ(messages.Texts(), std::vector<QString>{QString::fromStdString(row.text)})
            << row.code << " " << row.op;
        EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
        EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().Mode1Page()));
    }
}

// --- Other ids and a sheet that is gone ------------------------------------

TEST_F(DispatchTest, UnknownJobIdsAreIgnored) {
    for (int job : {4, 6, 7, 13, 17, 20, 99}) {
        for (int code : {RC_STOPPED, RC_OK, RC_ERROR, RC_TIMEOUT}) {
            Inject(code, job);
        }
    }
    EXPECT_EQ(Signalled(), Slots{});
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(S().GetActiveIndex(), 0);
}

TEST_F(DispatchTest, ResultsAfterTheSheetClosedAreDropped) {
    PostSheetMessage(sheet.get(), WM_JOB_RESULT, RC_ERROR, JOB_SCAN);
    PostSheetMessage(sheet.get(), WM_JOB_RESULT, 0, JOB_STATUS);
    S().reject();
    EXPECT_EQ(S().Module(), nullptr);
    Pump();
    EXPECT_EQ(messages.Count(), 0u);
}

} // namespace
} // namespace norva::test
