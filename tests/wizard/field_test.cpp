// The wizard where the field departs from the script: a failed check on a
// page that does not reopen by itself, the wrong unit on the cable, a failed
// or abandoned connect, settings the module cannot store. Real sheet, real
// worker, simulated modules.

#include "SimSheetFixture.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "res/strings/StringTable.h"
#include "wizard/QtModuleHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace norva::test {
namespace {

using FieldTest = SimSheetTest;

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

QString Formatted(int id, std::initializer_list<std::string> args) {
    return QString::fromStdString(FormatString(id, args));
}

TEST_F(FieldTest, StepTwoAfterAFailedCheckReopensAndScans) {
    StartSim();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    // A failed check on step 2 (after a scan error) closes the port.
    Inject(0, JOB_STATUS);
    ASSERT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_COMM_FAILED)});
    Pump();
    EXPECT_EQ(M().PortOpen(), 0);
    ASSERT_TRUE(S().NextButton()->isEnabled());
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Pending);
}

TEST_F(FieldTest, SearchAndConnectReopenAfterAFailedCheckOnStepFive) {
    StartSim();
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    Inject(0, JOB_STATUS);
    Pump();
    EXPECT_EQ(M().PortOpen(), 0);
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
    ASSERT_TRUE(page->m_btnSearch->isEnabled());
    page->m_btnSearch->click();
    EXPECT_EQ(M().PortOpen(), 1);
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    EXPECT_GE(page->m_list->rowCount(), 1);

    // And Connect after another failed check.
    Inject(0, JOB_STATUS);
    Pump();
    ASSERT_EQ(M().PortOpen(), 0);
    PressConnect(simulator->Snapshot(1).address);
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Connected);
}

TEST_F(FieldTest, AfterAFailedConnectSearchAndConnectAreOfferedAgain) {
    StartSim([](sim::SimOptions& o) { o.timing.connectFailMs = 200; });
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    PressConnect("00A0960000FF");
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(page));
    // The check after the failure ends with both buttons usable: a new search
    // needs no Back and Next.
    ASSERT_TRUE(PumpUntil([&] { return page->m_btnSearch->isEnabled(); }, kJobMs * kSlowdown));
    EXPECT_TRUE(page->m_btnConnect->isEnabled());
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
    EXPECT_EQ(messages.Count(), 1u);
    page->m_btnSearch->click();
    EXPECT_EQ(page->m_bSearching, 1);
}

TEST_F(FieldTest, ConnectingToItsOwnAddressIsRefused) {
    StartSim();
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    const std::string own = simulator->Snapshot(2).address;
    PressConnect(own);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Formatted(IDS_CONNECT_SELF, {own})});
    EXPECT_NE(simulator->Snapshot(2).lastCommand.rfind("ATD", 0), 0u);
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    EXPECT_TRUE(page->m_btnConnect->isEnabled());
}

// Connect with no row chosen, or with something that is no address in the
// box: nothing is dialled, the user is told to pick unit 1 in the list, and
// Search and Connect stay the way on.
TEST_F(FieldTest, ConnectWithoutAnAddressDialsNothing) {
    StartSim();
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    EXPECT_EQ(page->m_editAddress->placeholderText(), QStringLiteral("BD address"));
    const int commands = simulator->Snapshot(2).commands;
    for (const std::string& typed : {std::string(), std::string("Norva-BX01")}) {
        messages.Clear();
        PressConnect(typed);
        EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_PICK_UNIT1)}) << typed;
        EXPECT_FALSE(page->m_connectingDlg.IsOpen());
        EXPECT_TRUE(page->m_btnSearch->isEnabled());
        EXPECT_TRUE(page->m_btnConnect->isEnabled());
    }
    EXPECT_EQ(simulator->Snapshot(2).commands, commands);
    // A chosen row still dials, with the spaces around it dropped.
    PressConnect(" " + simulator->Snapshot(1).address + " ");
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
}

// After step 7 and before step 8 the pair would never connect: Cancel and the
// close box ask first, and No keeps the wizard on its step.
TEST_F(FieldTest, QuittingWithOnlyUnitTwoConfiguredAsksFirst) {
    StartSim();
    ThroughStepSix();
    S().PressNext();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    S().show();
    messages.Clear();
    messages.answer = false;
    S().CancelButton()->click();
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_QUIT_HALF_PAIRED)});
    EXPECT_TRUE(S().isVisible());
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().Mode1Page()));
    S().close();
    EXPECT_TRUE(S().isVisible());
    EXPECT_EQ(messages.Count(), 2u);
    messages.answer = true;
    S().CancelButton()->click();
    EXPECT_FALSE(S().isVisible());
    EXPECT_EQ(S().Module(), nullptr);
}

TEST_F(FieldTest, ClosingDuringAConnectAttemptStopsTheDialling) {
    StartSim([](sim::SimOptions& o) { o.timing.connectFailMs = 120000; });
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return page->m_bSearching == 0; }, kJobMs * kSlowdown));
    qint64 closeMs = -1;
    QTimer::singleShot(0, page, [&] {
        PumpUntil([&] { return simulator->Snapshot(2).lastCommand.rfind("ATD", 0) == 0; },
                  10000 * kSlowdown);
        QElapsedTimer timer;
        timer.start();
        S().reject();
        closeMs = timer.elapsed();
    });
    PressConnect("00A0960000FF");
    EXPECT_EQ(S().Module(), nullptr);
    EXPECT_GE(closeMs, 0);
    EXPECT_LT(closeMs, 3000 * kSlowdown);
    EXPECT_EQ(simulator->Snapshot(2).lastCommand, "AT+BTCANCEL");
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Standby);
}

class OneCableTest : public FieldTest {
protected:
    void StartOneCable() {
        StartSim([](sim::SimOptions& o) { o.onePort = true; });
        // Both settings name the one port, as with one cable (the old
        // variable goes first, or its restore would unset the new one).
        com2.reset();
        com2 =
            std::make_unique<ScopedEnv>(ComVariable(kTestCom2).c_str(), simulator->DevicePath(1));
    }
};

TEST_F(OneCableTest, StepThreeWithUnitOneStillOnTheCableSaysSo) {
    StartOneCable();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    const std::string unit1 = simulator->Snapshot(1).address;
    // The user forgot to move the cable.
    S().PressNext();
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Formatted(IDS_UNIT1_AGAIN, {unit1})});
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanWaitPage()));
    ASSERT_TRUE(S().NextButton()->isEnabled());
    simulator->Attach(2);
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().SearchPage()));
    EXPECT_EQ(M().LastStatus().Address(), simulator->Snapshot(2).address);
}

TEST_F(OneCableTest, StepEightStoresNothingInAnotherUnit) {
    StartOneCable();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    simulator->Attach(2);
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().SearchPage()));
    S().PressNext();
    ASSERT_TRUE(
        PumpUntil([&] { return S().ConnectionPage()->m_bSearching == 0; }, kJobMs * kSlowdown));
    PressConnect(simulator->Snapshot(1).address);
    ASSERT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().SuccessPage()));
    S().PressNext();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page()));
    ASSERT_EQ(simulator->Snapshot(2).mode, 1);
    const int unit2Commands = simulator->Snapshot(2).commands;

    // Unit 2 is still on the cable at step 8.
    S().PressNext();
    ASSERT_TRUE(WaitForMessages(1));
    EXPECT_EQ(messages.Texts(),
              std::vector<QString>{Formatted(IDS_NOT_UNIT1, {simulator->Snapshot(2).address,
                                                             simulator->Snapshot(1).address})});
    Pump();
    EXPECT_EQ(simulator->Snapshot(2).mode, 1);
    EXPECT_EQ(simulator->Snapshot(2).lastCommand, "AT+BTINFO?");
    EXPECT_GT(simulator->Snapshot(2).commands, unit2Commands);
    ASSERT_TRUE(S().NextButton()->isEnabled());
    simulator->Attach(1);
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
    EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
}

TEST_F(FieldTest, StepEightOpenFailureOffersUnitOnesSettings) {
    StartSim();
    ThroughStepSix();
    S().PressNext();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    // The adapter came back under another number.
    S().m_unit1Setting.m_nPort = 250;
    bool chosen = false;
    messages.onShow = [&](const ShownBox&) {
        // The dialog comes up once the message is dismissed.
        QTimer::singleShot(0, sheet.get(), [&] {
            ASSERT_TRUE(
                PumpUntil([&] { return S().m_unit1Setting.isVisible(); }, 5000 * kSlowdown));
            S().m_unit1Setting.m_cbPort->setEditText(QStringLiteral("COM%1").arg(kTestCom1));
            S().m_unit1Setting.m_okButton->click();
            chosen = true;
        });
    };
    S().PressNext();
    ASSERT_TRUE(PumpUntil([&] { return chosen; }, 10000 * kSlowdown));
    messages.onShow = nullptr;
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_PORT_OPEN_FAILED)});
    EXPECT_EQ(S().m_unit1Setting.m_nPort, kTestCom1);
    Pump();
    ASSERT_TRUE(S().NextButton()->isEnabled());
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
    EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
}

TEST_F(FieldTest, AMessageDuringACheckIsNotCoveredByTheBanner) {
    StartSim([](sim::SimOptions& o) { o.unit[0].responsesOff = true; });
    bool bannerVisible = true;
    messages.onShow = [&](const ShownBox&) {
        CWaitDlg* banner = S().Host()->BannerWindow(Banner::Checking);
        bannerVisible = banner != nullptr && banner->isVisible();
    };
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{Text(IDS_RESPONSE_DISABLED)});
    EXPECT_FALSE(bannerVisible);
}

TEST_F(FieldTest, TheNormalPairingSendsEachModeCommandOnce) {
    char trace[] = "/tmp/norva-field-trace-XXXXXX";
    const int fd = mkstemp(trace);
    ASSERT_GE(fd, 0);
    close(fd);
    StartSim([&](sim::SimOptions& o) { o.tracePath = trace; });
    ThroughStepSix();
    // Still linked from step 5: the wizard hangs up first instead of sending
    // the mode command into the link and waiting for it to time out.
    FromStepSixToNine();
    EXPECT_EQ(messages.Count(), 0u);
    simulator->Stop();
    std::ifstream in(trace);
    int unit2Mode = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"unit\":2") != std::string::npos &&
            line.find("\"dir\":\"in\"") != std::string::npos &&
            line.find("AT+BTMODE,1") != std::string::npos) {
            ++unit2Mode;
        }
    }
    std::remove(trace);
    EXPECT_EQ(unit2Mode, 1);
}

TEST(KoreanRun, ButtonsAndFailureTextsSpeakKorean) {
    SetUiLanguage(UiLanguage::Korean);
    {
        CSerialSheet sheet(QStringLiteral("Configuration"));
        EXPECT_EQ(sheet.BackButton()->text(), QStringLiteral("< 뒤로(&B)"));
        EXPECT_EQ(sheet.NextButton()->text(), QStringLiteral("다음(&N) >"));
        EXPECT_EQ(sheet.FinishButton()->text(), QStringLiteral("마침"));
        EXPECT_EQ(sheet.CancelButton()->text(), QStringLiteral("취소"));
    }
    EXPECT_EQ(ApplyFailureText(OP_SET_MODE), "다음 설정 과정에서 실패하였습니다: : 동작 모드 설정");
    SetUiLanguage(UiLanguage::English);
    EXPECT_EQ(ApplyFailureText(OP_SET_MODE),
              "Failed in the following setting step: : Operation mode setting");
    CSerialSheet sheet(QStringLiteral("Configuration"));
    EXPECT_EQ(sheet.NextButton()->text(), QStringLiteral("&Next >"));
}

} // namespace
} // namespace norva::test
