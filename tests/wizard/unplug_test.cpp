// Cables pulled and units switched off while the wizard works, and a pair
// configured before: the wizard says what happened once and its way on stays
// open. Real sheet, real worker, simulated modules behind stable links.

#include "SimSheetFixture.h"
#include "pages/Mode.h"
#include "pages/ModeSuccess.h"
#include "res/strings/StringTable.h"

#include <cstdlib>
#include <unistd.h>

namespace norva::test {
namespace {

class UnplugTest : public SimSheetTest {
protected:
    void SetUp() override {
        SimSheetTest::SetUp();
        char dir[] = "/tmp/norva-links-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        linkDir = dir;
    }
    void TearDown() override {
        SimSheetTest::TearDown();
        rmdir(linkDir.c_str());
    }
    void StartLinked(const std::function<void(sim::SimOptions&)>& adjust = {}) {
        StartSim([&](sim::SimOptions& o) {
            o.linkDir = linkDir;
            if (adjust) {
                adjust(o);
            }
        });
    }
    QString GoneText(int unit) const {
        return QString::fromStdString(
            FormatString(IDS_DEVICE_GONE,
                         {simulator->LinkPath(unit) + " was disconnected (Input/output error)"}));
    }
    std::string linkDir;
};

TEST_F(UnplugTest, ASearchOverAPulledCableEndsWithOneMessageAndSearchRetries) {
    StartLinked([](sim::SimOptions& o) { o.timing.inquiryMs = 120000; });
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).lastCommand == "AT+BTINQ?"; },
                          10000 * kSlowdown));
    ASSERT_TRUE(simulator->Unplug(2));
    ASSERT_TRUE(WaitForMessages(1, 5000));
    Pump(200);
    EXPECT_EQ(messages.Texts(), std::vector<QString>{GoneText(2)});
    // No animation over a dead port; Search is the way on.
    EXPECT_EQ(page->m_bSearching, 0);
    EXPECT_FALSE(page->m_searchTimer.isActive());
    EXPECT_EQ(M().PortOpen(), 0);
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);

    ASSERT_TRUE(simulator->Replug(2));
    page->m_btnSearch->click();
    EXPECT_EQ(M().PortOpen(), 1);
    EXPECT_EQ(page->m_bSearching, 1);
    EXPECT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).lastCommand == "AT+BTINQ?"; },
                          10000 * kSlowdown));
    EXPECT_EQ(messages.Count(), 1u);
}

// Search pressed while the cable is still out: the port cannot be reopened,
// the failure is told, and Back and Search stay the way on.
TEST_F(UnplugTest, SearchOverACableStillOutLeavesBackAndSearchEnabled) {
    StartLinked([](sim::SimOptions& o) { o.timing.inquiryMs = 120000; });
    ThroughStepFour();
    CConnection* page = S().ConnectionPage();
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).lastCommand == "AT+BTINQ?"; },
                          10000 * kSlowdown));
    ASSERT_TRUE(simulator->Unplug(2));
    ASSERT_TRUE(WaitForMessages(1, 5000));
    messages.Clear();
    page->m_btnSearch->click();
    Pump(200);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.At(0).text, QString::fromStdString(LoadString(IDS_PORT_OPEN_FAILED)));
    EXPECT_EQ(S().WizardButtons(), PSWIZB_BACK);
    EXPECT_TRUE(S().BackButton()->isEnabled());
    EXPECT_TRUE(page->m_btnSearch->isEnabled());
    EXPECT_EQ(page->m_bSearching, 0);
}

TEST_F(UnplugTest, ACablePulledBetweenStepsIsReportedByTheNextJobAndNextRetries) {
    StartLinked();
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    ASSERT_TRUE(simulator->Unplug(1));
    S().PressNext();
    ASSERT_TRUE(WaitForMessages(1, 5000));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{GoneText(1)});
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
    ASSERT_TRUE(S().NextButton()->isEnabled());
    ASSERT_TRUE(simulator->Replug(1));
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    EXPECT_EQ(messages.Count(), 1u);
}

TEST_F(UnplugTest, AUnitThatDoesNotConfirmTheScanIsAFailedCheck) {
    StartLinked([](sim::SimOptions& o) { o.unit[0].noScanReply = true; });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    // Within the few seconds the module takes to confirm, not the scan time.
    ASSERT_TRUE(WaitForMessages(1, 15000));
    EXPECT_EQ(messages.Texts(),
              std::vector<QString>{QString::fromStdString(LoadString(IDS_COMM_FAILED))});
    Pump();
    EXPECT_EQ(S().GetActivePage(), static_cast<CPropertyPage*>(S().ScanPage()));
    EXPECT_TRUE(S().NextButton()->isEnabled());
    EXPECT_EQ(M().PortOpen(), 0);
}

TEST_F(UnplugTest, ALinkThatDroppedBeforeStepSevenIsStillStored) {
    StartLinked();
    ThroughStepSix();
    // Unit 1 loses power: unit 2's link drops while the wizard still counts
    // it as up.
    ASSERT_TRUE(simulator->SetPower(1, false));
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).link == sim::LinkState::Standby; },
                          5000 * kSlowdown));
    S().PressNext();
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().Mode1Page(), 2 * kJobMs));
    EXPECT_EQ(simulator->Snapshot(2).mode, 1);
    ASSERT_TRUE(simulator->SetPower(1, true));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ModeSuccessPage()));
    EXPECT_EQ(simulator->Snapshot(1).mode, 2);
}

TEST_F(UnplugTest, APairConfiguredBeforeIsPairedAgain) {
    // Following the wizard to the letter: unit 2 is powered only at step 3,
    // while unit 1 is discoverable, and links to it by itself.
    StartLinked([](sim::SimOptions& o) {
        o.startPaired = true;
        o.unit[1].startOff = true;
    });
    S().NextButton()->click();
    ASSERT_TRUE(WaitForPage(S().ScanPage()));
    S().PressNext();
    ASSERT_TRUE(WaitForPage(S().ScanWaitPage()));
    ASSERT_TRUE(simulator->SetPower(2, true));
    ASSERT_TRUE(PumpUntil([&] { return simulator->Snapshot(2).link == sim::LinkState::Connected; },
                          5000 * kSlowdown));
    S().PressNext();
    // The connection steps 4 and 5 would make is there already.
    ASSERT_TRUE(WaitForPage(S().SuccessPage()));
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Connected);
    FromStepSixToNine();
    EXPECT_EQ(messages.Count(), 0u);
}

} // namespace
} // namespace norva::test
