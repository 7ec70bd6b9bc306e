// What Next, Search and Connect start on each step.

#include "ScriptedFlow.h"

#include "flow/Address.h"
#include "platform/SerialDevice.h"

namespace norva::flow::test {
namespace {

TEST_F(FlowTest, EachCheckingStepOpensItsUnitAfresh) {
    EXPECT_EQ(NextOn(STEP_FIRST), "close; open COM33; job STATUS");
    EXPECT_EQ(NextOn(STEP_SCAN_WAIT), "close; open COM34; job STATUS");
    module.openFails = true;
    EXPECT_EQ(NextOn(STEP_FIRST), "close; open COM33; open failed: device not present");
    // Unit 2's port: the failure is told and the page's Next stays the way on.
    EXPECT_EQ(NextOn(STEP_SCAN_WAIT), "close; open COM34; open failed: device not present");
    EXPECT_EQ(flow.LastFailure(), Failure::PortFailed);
    EXPECT_EQ(flow.JobsStarted(), 2u);
}

TEST_F(FlowTest, TheScanReopensUnitOneOnlyAfterAFailedCheck) {
    EXPECT_EQ(NextOn(STEP_SCAN), "scan 3,3000; job SCAN");
    module.portOpen = false;
    EXPECT_EQ(NextOn(STEP_SCAN), "open COM33; scan 3,3000; job SCAN");
    module.portOpen = false;
    module.openFails = true;
    EXPECT_EQ(NextOn(STEP_SCAN), "open COM33; open failed: device not present; buttons NEXT");
}

TEST_F(FlowTest, TheSearchStepShowsStepFiveSearching) {
    EXPECT_EQ(NextOn(STEP_SEARCH), "search shown; step 5; job INQUIRY");
    EXPECT_EQ(NextOn(STEP_CONNECTION), "step 6");
}

TEST_F(FlowTest, StepSevenStoresUnitTwoOnTheOpenLineAndHangsUpALinkFirst) {
    view.uart = {115200, kEvenParity, 2, 0};
    EXPECT_EQ(NextOn(STEP_MODE), "apply-args mode 1 115200 flow 0; job APPLY");
    module.link = LINK_CONNECTED;
    EXPECT_EQ(NextOn(STEP_MODE), "job DISCONNECT then APPLY");
    // After a failed check the port is closed: reopened, and its link is unknown.
    module.portOpen = false;
    EXPECT_EQ(NextOn(STEP_MODE), "open COM34; job APPLY");
}

TEST_F(FlowTest, StepEightChecksUnitOneBeforeStoring) {
    EXPECT_EQ(NextOn(STEP_MODE1), "close; open COM33; job STATUS");
    module.openFails = true;
    EXPECT_EQ(NextOn(STEP_MODE1),
              "close; open COM33; open failed: device not present; settings of unit 1; "
              "buttons NEXT");
}

TEST_F(FlowTest, OddParityIsRefusedBeforeAnythingIsSent) {
    view.uart = {9600, kOddParity, 0, 1};
    for (int step : {STEP_MODE, STEP_MODE1}) {
        EXPECT_EQ(NextOn(step), Said(IDS_ODD_PARITY) + "; buttons NEXT");
    }
}

TEST_F(FlowTest, SearchControlOnStepFive) {
    view.step = STEP_CONNECTION;
    flow.SearchControl(true);
    EXPECT_EQ(log.Take(), "search shown; job INQUIRY; search button on");
    flow.SearchControl(false);
    EXPECT_EQ(log.Take(), "search ended; ABORT; search button on");
    module.portOpen = false;
    module.openFails = true;
    flow.SearchControl(true);
    EXPECT_EQ(log.Take(),
              "open COM34; open failed: device not present; search button on; buttons BACK");
    // Elsewhere only the button comes back.
    view.step = STEP_SEARCH;
    flow.SearchControl(true);
    EXPECT_EQ(log.Take(), "search button on");
}

TEST_F(FlowTest, ConnectControlOnStepFive) {
    view.step = STEP_CONNECTION;
    module.address = "00A0961B2C02";
    flow.SetTarget("00A0961B2C01");
    flow.ConnectControl(true);
    EXPECT_EQ(log.Take(), "job CONNECT; search button off");
    flow.ConnectControl(false);
    EXPECT_EQ(log.Take(), "ABORT; search button off");
    // Dialling its own address is refused, typed in any case with colons.
    flow.SetTarget("00:a0:96:1b:2c:02");
    flow.ConnectControl(true);
    EXPECT_EQ(log.Take(), "connecting ended 3; " +
                              Said(FormatString(IDS_CONNECT_SELF, {"00:a0:96:1b:2c:02"})) +
                              "; connect buttons");
    // Nothing chosen, or not an address: nothing is dialled.
    for (const char* target : {"", "00A0961B2C0", "00A0961B2C01X", "00:A0:96:1B:2C:01"}) {
        flow.SetTarget(target);
        flow.ConnectControl(true);
        EXPECT_EQ(log.Take(), "connecting ended 3; " + Said(IDS_PICK_UNIT1) + "; connect buttons")
            << target;
    }
    flow.SetTarget("00A0961B2C01");
    module.portOpen = false;
    module.openFails = true;
    flow.ConnectControl(true);
    EXPECT_EQ(log.Take(), "open COM34; open failed: device not present; connecting ended 3; "
                          "connect buttons");
}

TEST_F(FlowTest, JobsStartedCountsJobsButNotAborts) {
    const uint64_t before = flow.JobsStarted();
    NextOn(STEP_FIRST);
    view.step = STEP_CONNECTION;
    flow.SearchControl(false);
    EXPECT_EQ(flow.JobsStarted(), before + 1);
}

TEST(FlowAddress, SameAddressIgnoresCaseAndSeparatorsButNeverMatchesEmpty) {
    EXPECT_TRUE(SameAddress("00a0961b2c01", "00A0961B2C01"));
    EXPECT_TRUE(SameAddress("00-A0-96 1B:2C:01", "00A0961B2C01"));
    EXPECT_FALSE(SameAddress("00A0961B2C01", "00A0961B2C02"));
    EXPECT_FALSE(SameAddress("", ""));
    EXPECT_FALSE(SameAddress("::", ""));
}

} // namespace
} // namespace norva::flow::test
