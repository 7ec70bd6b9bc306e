// The wizard against simulated modules on pseudo-terminals: real sheet, real
// worker, real serial port; only the message boxes are answered by the test.

#include "SimSheetFixture.h"
#include "pages/Connection.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "pages/Scan.h"
#include "pages/ScanWait.h"
#include "pages/Search.h"
#include "pages/Success.h"
#include "res/strings/StringTable.h"
#include "sim/Simulator.h"
#include "wizard/QtModuleHost.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <mutex>
#include <thread>

namespace norva::test {
namespace {

using SimFlowTest = SimSheetTest;

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

TEST_F(SimFlowTest, StepOneWithAnIdleModuleMovesOn) {
    StartSim();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(S().Host()->BannersCreated(Banner::Checking), 1);
    EXPECT_EQ(S().Host()->BannerWindow(Banner::Checking), nullptr);
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(M().LastStatus().Address(), simulator->Snapshot(1).address);
    EXPECT_EQ(M().LastStatus().Name(), "Norva-BX01");
}

TEST_F(SimFlowTest, SecondNextOnStepOneStartsTheCheckAfresh) {
    StartSim();
    S().NextButton()->click();
    // The first check is under way when the user presses Next again: the
    // port is reopened and the stopped check reports nothing.
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(1).commands >= 1; }, 10000 * kSlowdown));
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SimFlowTest, StepOneSetsAModuleInAnotherModeBackToZero) {
    StartSim([](sim::SimOptions& o) { o.unit[0].startMode = 2; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(simulator->Snapshot(1).mode, 0);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SimFlowTest, StepOneWithAPendingModuleCancelsFirst) {
    StartSim([](sim::SimOptions& o) { o.unit[0].startPending = true; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Standby);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SimFlowTest, StepOneWithAConnectedModuleHangsUpFirst) {
    StartSim([](sim::SimOptions& o) { o.unit[0].startConnected = true; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_DISCONNECTED)});
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Standby);
}

// Every byte of a hang-up and of the mode set back to 0 goes out on the worker: the thread that
// shows the steps never waits on a module.
TEST_F(SimFlowTest, NoCommandIsSentFromTheThreadThatShowsTheSteps) {
    struct SendingThreads : ITranscript {
        void OnOpen(const std::string&, const std::string&) override {}
        void OnOpenFailed(const std::string&, const std::string&) override {}
        void OnClose(const std::string&) override {}
        void OnHangUp(const std::string&) override {}
        void OnReceived(const uint8_t*, size_t) override {}
        void OnSent(const uint8_t* data, size_t length) override {
            const std::lock_guard<std::mutex> lock(m);
            sent += std::string(reinterpret_cast<const char*>(data), length);
            if (std::this_thread::get_id() == ui) {
                fromUi += std::string(reinterpret_cast<const char*>(data), length);
            }
        }
        std::mutex m;
        std::thread::id ui = std::this_thread::get_id();
        std::string sent;
        std::string fromUi;
    } watch;
    StartSim([](sim::SimOptions& o) {
        o.unit[0].startConnected = true;
        o.unit[0].startMode = 2;
    });
    M().SetTranscript(&watch);
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    M().SetTranscript(nullptr);
    EXPECT_TRUE(watch.sent.find("ATO\r") != std::string::npos) << watch.sent;
    EXPECT_TRUE(watch.sent.find("AT+BTMODE,0\r") != std::string::npos) << watch.sent;
    EXPECT_EQ(watch.fromUi, "");
    EXPECT_EQ(simulator->Snapshot(1).mode, 0);
}

TEST_F(SimFlowTest, StepOneWithASilentModuleReportsAndOffersARetry) {
    StartSim([](sim::SimOptions& o) { o.unit[0].silent = true; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForMessages(1));
    Pump();
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)});
    EXPECT_EQ(S().GetActiveIndex(), 0);
    EXPECT_EQ(M().PortOpen(), 0);
    EXPECT_EQ(S().WizardButtons(), PSWIZB_NEXT);
}

TEST_F(SimFlowTest, StepOneAtTheWrongBaudRateFailsUntilTheSettingMatches) {
    StartSim([](sim::SimOptions& o) { o.unit[0].uart.baud = 115200; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)});
    Pump();
    EXPECT_EQ(S().GetActiveIndex(), 0);

    S().m_unit1Setting.m_nBaudRate = 115200;
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(messages.Count(), 1u);
}

TEST_F(SimFlowTest, SearchFindsUnitOneAndConnects) {
    StartSim();
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    const QString unit1 = QString::fromStdString(simulator->Snapshot(1).address);
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    EXPECT_EQ(page->m_btnSearch->text(), QStringLiteral("Search"));
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
    int row = -1;
    for (int i = 0; i < page->m_list->rowCount(); ++i) {
        if (page->m_list->item(i, 0)->text().compare(unit1, Qt::CaseInsensitive) == 0) {
            row = i;
        }
    }
    ASSERT_GE(row, 0) << "unit 1 not in the list";
    EXPECT_EQ(page->m_list->item(row, 1)->text(), QStringLiteral("Norva-BX01"));
    page->m_list->selectRow(row);
    ASSERT_TRUE(page->m_btnConnect->isEnabled());

    // A hang must not block the test run: give up through the dialog's Cancel.
    QTimer::singleShot(kJobMs * kSlowdown, page, [page] {
        if (page->m_connectingDlg.IsOpen()) {
            page->m_connectingDlg.m_cancelButton->click();
        }
    });
    page->m_btnConnect->click();
    EXPECT_EQ(page->m_connectingDlg.result(), 1);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
    EXPECT_EQ(M().LastStatus().m_nLinkState, LINK_CONNECTED);
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Connected);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SimFlowTest, ClosingTheWizardDuringAnInquiryReturnsWithinASecond) {
    StartSim([](sim::SimOptions& o) { o.timing.inquiryMs = 120000; });
    ThroughStepFour();
    // Let the inquiry get under way on the module.
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).lastCommand == "AT+BTINQ?"; },
                          10000 * kSlowdown));
    QElapsedTimer timer;
    timer.start();
    S().reject();
    const qint64 elapsed = timer.elapsed();
    EXPECT_LT(elapsed, 1000 * kSlowdown);
    EXPECT_EQ(S().Module(), nullptr);
    Pump(20);
    EXPECT_EQ(messages.Count(), 0u);
}

} // namespace
} // namespace norva::test

namespace norva::test {
namespace {

TEST_F(SimFlowTest, AllNineStepsPairTheUnits) {
    StartSim();
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    page->m_editAddress->setText(QString::fromStdString(simulator->Snapshot(1).address));
    QTimer::singleShot(kJobMs * kSlowdown, page, [page] {
        if (page->m_connectingDlg.IsOpen()) {
            page->m_connectingDlg.m_cancelButton->click();
        }
    });
    page->m_btnConnect->click();
    ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));

    S().PressNext();
    ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ModePage()));
    // Unit 2 is still connected: the apply runs into data mode, the link is
    // checked and hung up, and the worker runs the apply again by itself,
    // without a word to the user.
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(simulator->Snapshot(2).mode, 1);

    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
    EXPECT_EQ(S().WizardButtons(), PSWIZB_FINISH);
    EXPECT_EQ(simulator->Snapshot(1).mode, 2);
    // One banner for each apply job the worker ran.
    EXPECT_GE(S().Host()->BannersCreated(Banner::Applying), 2);
    EXPECT_EQ(S().Host()->BannerWindow(Banner::Applying), nullptr);
    EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
    // Under the page's own text: what each unit stored, and who it is.
    const QString stored = S().ModeSuccessPage()->m_textStored->text();
    EXPECT_TRUE(S().ModeSuccessPage()->m_textStored->isVisibleTo(S().ModeSuccessPage()));
    EXPECT_EQ(stored, QString::fromStdString(
                          "Norva-BX01 (" + simulator->Snapshot(1).address +
                          "): UART 9600,N,1, hardware flow control on, operation mode 2\n"
                          "Norva-BX02 (" +
                          simulator->Snapshot(2).address +
                          "): UART 9600,N,1, hardware flow control on, operation mode 1"));
    // And what the last status read confirmed.
    EXPECT_TRUE(S().Note().startsWith(QStringLiteral("Norva-BX01 stored the settings.")))
        << S().Note().toStdString();

    S().FinishButton()->click();
    EXPECT_EQ(S().Module(), nullptr);
}

} // namespace
} // namespace norva::test
