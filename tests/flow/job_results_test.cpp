// Each row of the decision table for finished jobs, as the transcript of what
// the flow asks of the controller and the view.

#include "ScriptedFlow.h"

namespace norva::flow::test {
namespace {

// News that is not a failure: the wizard's box offers no log for it.
std::string Told(int id) {
    return "inform \"" + LoadString(id) + "\"";
}

const std::string kCommFailed = "link 3; " + Said(IDS_COMM_FAILED) + "; close";

TEST_F(FlowTest, ConnectResults) {
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_ABORTED), "job CANCEL");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_CONNECTED),
              "link 2; connected shown; step 6");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_TIMEOUT),
              "connecting ended 2; " + Said(IDS_CONNECT_TIMEOUT) + "; job STATUS");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_ERROR_AFTER_OK),
              "connecting ended 2; " + Said(IDS_CONNECT_TIMEOUT) + "; job STATUS");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_ERROR),
              "connecting ended 3; " + Said(IDS_CONNECT_FAILED) + "; job STATUS");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_OVERFLOW),
              "connecting ended 3; " + Said(IDS_CONNECT_FAILED) + "; job STATUS");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_NO_VALUE), "job STATUS");
}

TEST_F(FlowTest, DisconnectResults) {
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_DISCONNECTED),
              Told(IDS_DISCONNECTED) + "; link 0; job STATUS");
    // An apply left unanswered is run again once its link is hung up.
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_TIMEOUT), "job STATUS");
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_DISCONNECTED),
              Told(IDS_DISCONNECTED) + "; link 0; job APPLY");
    // A link that had dropped already answers the hang-up with ERROR.
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_ERROR), "job STATUS");
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_TIMEOUT), "job STATUS");
}

TEST_F(FlowTest, ResetAndEscapeResults) {
    EXPECT_EQ(Result(STEP_MODE_SUCCESS, JOB_RESET, RC_ERROR),
              Said(IDS_RESET_FAILED) + "; job STATUS");
    EXPECT_EQ(Result(STEP_MODE_SUCCESS, JOB_RESET, RC_OK), Told(IDS_SETTING_FINISHED) + "; close");
    EXPECT_EQ(Result(STEP_MODE_SUCCESS, JOB_RESET, RC_DONE),
              Told(IDS_SETTING_FINISHED) + "; close");
    EXPECT_EQ(Result(STEP_MODE, JOB_ESCAPE, RC_OK), "");
    EXPECT_EQ(Result(STEP_MODE, JOB_ESCAPE, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_MODE, JOB_ESCAPE, RC_TIMEOUT), "job STATUS");
}

TEST_F(FlowTest, AStatusThatWasNotReadIsAFailedCheck) {
    for (int code : {0, int{RC_TIMEOUT}, int{RC_ABORTED}, int{RC_OVERFLOW}}) {
        EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, code), kCommFailed + "; buttons NEXT") << code;
    }
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, RC_STOPPED), "");
    // On step 5 Search and Connect stay the way on; Next never leaves it.
    view.searching = true;
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_STATUS, 0),
              kCommFailed + "; connecting ended 3; search ended; connect buttons; buttons BACK");
}

TEST_F(FlowTest, AnIdleUnitMovesEachCheckingStepOn) {
    module.address = "00A0961B2C01";
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 1), "step 2");
    EXPECT_EQ(flow.Unit1Address(), "00A0961B2C01");
    module.address = "00A0961B2C02";
    EXPECT_EQ(Result(STEP_SCAN_WAIT, JOB_STATUS, 1), "step 4");
    EXPECT_EQ(flow.Unit2Address(), "00A0961B2C02");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_STATUS, 1), "connect buttons; buttons BACK");
    // After a refused scan the unit is idle again: Next retries it.
    EXPECT_EQ(Result(STEP_SCAN, JOB_STATUS, 1), "buttons NEXT");
    // A status on a step without a check of its own changes nothing.
    EXPECT_EQ(Result(STEP_SEARCH, JOB_STATUS, 1), "");
}

TEST_F(FlowTest, AUnitLeftInAnAutoConnectModeIsSetBackToModeZeroFirst) {
    module.opMode = 2;
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 1), "job SET_MODE");
    EXPECT_EQ(Result(STEP_FIRST, JOB_SET_MODE, RC_ERROR), "step 2");
}

TEST_F(FlowTest, ALinkedUnitIsHungUpExceptAPairFoundLinkedAtStepThree) {
    module.link = LINK_CONNECTED;
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 1), "job RETURN_ONLINE");
    EXPECT_EQ(Result(STEP_FIRST, JOB_RETURN_ONLINE, RC_OK), "job DISCONNECT");
    module.address = "00A0961B2C02";
    EXPECT_EQ(Result(STEP_SCAN_WAIT, JOB_STATUS, 1), "job RETURN_ONLINE");
    EXPECT_EQ(Result(STEP_SCAN_WAIT, JOB_RETURN_ONLINE, RC_OK), "link 2; step 6");
    EXPECT_EQ(flow.Unit2Address(), "00A0961B2C02");
}

TEST_F(FlowTest, APendingUnitIsCancelledAndTheCancelMovesTheStepOn) {
    module.link = LINK_PENDING;
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 1), "job CANCEL");
    EXPECT_EQ(Result(STEP_FIRST, JOB_CANCEL_CMD, RC_OK), "link 0; step 2");
}

TEST_F(FlowTest, TheWrongUnitOnTheCableIsNamed) {
    module.address = "00A0961B2C01";
    Result(STEP_FIRST, JOB_STATUS, 1);
    // Step 3: unit 1 is still attached.
    EXPECT_EQ(Result(STEP_SCAN_WAIT, JOB_STATUS, 1),
              Said(FormatString(IDS_UNIT1_AGAIN, {"00A0961B2C01"})) + "; close; buttons NEXT");
    // Step 8: another module than unit 1 came back.
    module.address = "00A0961B2C09";
    EXPECT_EQ(Result(STEP_MODE1, JOB_STATUS, 1),
              Said(FormatString(IDS_NOT_UNIT1, {"00A0961B2C09", "00A0961B2C01"})) +
                  "; close; buttons NEXT");
    module.address = "00a0961b2c01";
    EXPECT_EQ(Result(STEP_MODE1, JOB_STATUS, 1), "job APPLY");
}

TEST_F(FlowTest, AnUnconfirmedApplyRunsAgainOnlyTwice) {
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_TIMEOUT), "job STATUS");
    EXPECT_EQ(Result(STEP_MODE, JOB_STATUS, 1), "job APPLY");
    EXPECT_EQ(Result(STEP_MODE, JOB_STATUS, 1), "job APPLY");
    EXPECT_EQ(Result(STEP_MODE, JOB_STATUS, 1), Said(IDS_APPLY_NOT_CONFIRMED) + "; buttons NEXT");
    // A new Next press counts afresh.
    NextOn(STEP_MODE);
    EXPECT_EQ(Result(STEP_MODE, JOB_STATUS, 1), "job APPLY");
}

TEST_F(FlowTest, CancelResults) {
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CANCEL_CMD, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CANCEL_CMD, RC_ERROR), "job STATUS");
    // The cancel ends the job the flow aborted, whatever the module's
    // operation code says: an abort before the connect began leaves the
    // search's code there.
    module.lastStep = OP_INQUIRY;
    Result(STEP_CONNECTION, JOB_CONNECT, RC_ABORTED);
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CANCEL_CMD, RC_OK), "link 0; connect buttons");
    Result(STEP_CONNECTION, JOB_INQUIRY, RC_ABORTED);
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CANCEL_CMD, RC_OK), "link 0; search ended");
    Result(STEP_SCAN, JOB_SCAN, RC_ABORTED);
    EXPECT_EQ(Result(STEP_SCAN, JOB_CANCEL_CMD, RC_OK), "link 0");
    // A cancel that follows no aborted job changes nothing.
    EXPECT_EQ(Result(STEP_MODE, JOB_CANCEL_CMD, RC_OK), "");
}

TEST_F(FlowTest, ScanResults) {
    EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, RC_OK), "step 3");
    EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, RC_ABORTED), "job CANCEL");
    EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, RC_ERROR), Said(IDS_SCAN_ERROR) + "; job STATUS");
    // The module confirms a scan at once: one that did not is not answering.
    EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, RC_TIMEOUT), kCommFailed + "; buttons NEXT");
    EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, RC_OVERFLOW), kCommFailed + "; buttons NEXT");
    // No other code comes from a scan; should one come, nothing follows it.
    for (int code : {int{RC_CONNECTED}, int{RC_DISCONNECTED}, int{RC_DONE}, int{RC_ERROR_AFTER_OK},
                     int{RC_NO_VALUE}, int{RC_NOT_STORED}}) {
        EXPECT_EQ(Result(STEP_SCAN, JOB_SCAN, code), "") << code;
    }
}

TEST_F(FlowTest, InquiryResults) {
    view.searching = true;
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_DONE), "search ended");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_ABORTED), "job CANCEL; search ended");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_OVERFLOW), "job STATUS; search ended");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_SEARCH, JOB_INQUIRY, RC_DONE), "");
}

TEST_F(FlowTest, ApplyResults) {
    module.applied = {1, 9600, 0, 0, 1};
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_DONE),
              "step 8; note \"Norva-BX02 stored the settings. Confirmed by its status now: "
              "operation mode 1 and hardware flow control on. Confirmed at the next restart "
              "(Verify): UART 9600,N,1.\"");
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_OK), "");
    module.lastStep = OP_SET_UART;
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_ERROR),
              Said(ApplyFailureText(OP_SET_UART)) + "; buttons NEXT");
    EXPECT_EQ(flow.LastFailure(), Failure::Refused);
}

// A unit may show a new mode or flow control only after its next restart, or
// already listen at the new UART setting: what the status shows right after
// the apply is news, and the step goes on whatever it shows.
TEST_F(FlowTest, AStatusThatDoesNotShowTheSettingsYetIsNoFailure) {
    // Even parity, two stop bits, no flow control.
    module.applied = {2, 115200, 2, 2, 0};
    module.confirmation = {true, false, false, true};
    EXPECT_EQ(Result(STEP_MODE1, JOB_APPLY, RC_DONE),
              "step 9; note \"Norva-BX01 stored the settings. Confirmed by its status now: "
              "nothing (this unit shows new settings after a restart). Confirmed at the next "
              "restart (Verify): UART 115200,E,2 and operation mode 2 and hardware flow control "
              "off.\"");
    module.applied.mode = 1;
    module.confirmation = {true, true, false, true};
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_DONE),
              "step 8; note \"Norva-BX02 stored the settings. Confirmed by its status now: "
              "operation mode 1. Confirmed at the next restart (Verify): UART 115200,E,2 and "
              "hardware flow control off.\"");
    module.confirmation = {false, false, false, true};
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_DONE),
              "step 8; note \"Norva-BX02 stored the settings. Confirmed by its status now: "
              "nothing (no status could be read; the unit may use the new UART setting "
              "already). Confirmed at the next restart (Verify): UART 115200,E,2 and operation "
              "mode 1 and hardware flow control off.\"");
    EXPECT_EQ(flow.LastFailure(), Failure::None);

    SetUiLanguage(UiLanguage::Korean);
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_DONE),
              "step 8; note \"Norva-BX02에 설정을 저장했습니다. 지금 상태로 확인됨: 없음(상태를 "
              "읽을 수 없음. 장치가 이미 새 UART 설정을 사용 중일 수 있음). 다음 재시작 때 "
              "확인됨(연결 확인): UART 115200,E,2, 동작 모드 1, 하드웨어 흐름 제어 꺼짐.\"");
}

// Unit 2 stored and unit 1 not yet: a pair that would never connect.
TEST_F(FlowTest, OnlyTheStretchBetweenStepsSevenAndEightIsHalfPaired) {
    EXPECT_FALSE(flow.HalfPaired());
    Result(STEP_MODE, JOB_APPLY, RC_ERROR);
    EXPECT_FALSE(flow.HalfPaired()) << "nothing was stored";
    Result(STEP_MODE, JOB_APPLY, RC_DONE);
    EXPECT_TRUE(flow.HalfPaired());
    Result(STEP_MODE1, JOB_APPLY, RC_DONE);
    EXPECT_FALSE(flow.HalfPaired());
}

// Old firmware keeps RTS/CTS when asked to turn it off: the step is not done,
// and the user hears it once, from the firmware box where that was shown.
TEST_F(FlowTest, FlowControlThatOldFirmwareKeepsIsToldOnce) {
    module.flowNotStored = true;
    EXPECT_EQ(Result(STEP_MODE1, JOB_APPLY, RC_DONE), Said(IDS_FLOW_NOT_STORED) + "; buttons NEXT");
    EXPECT_EQ(flow.LastFailure(), Failure::NotStored);
    module.firmwareBoxShown = true;
    EXPECT_EQ(Result(STEP_MODE1, JOB_APPLY, RC_DONE),
              "note \"" + LoadString(IDS_FLOW_NOT_STORED) + "\"; buttons NEXT");
}

// A front end that turns failures into a status of its own asks the flow.
TEST_F(FlowTest, EachFailureSaysWhatItMeans) {
    const struct {
        int step, jobId, code;
        Failure failure;
    } cases[] = {
        {STEP_FIRST, JOB_STATUS, 0, Failure::NoAnswer},
        {STEP_FIRST, JOB_STATUS, RC_TIMEOUT, Failure::NoAnswer},
        {STEP_FIRST, JOB_STATUS, RC_OVERFLOW, Failure::NoAnswer},
        {STEP_SCAN, JOB_SCAN, RC_TIMEOUT, Failure::NoAnswer},
        {STEP_SCAN, JOB_SCAN, RC_OVERFLOW, Failure::NoAnswer},
        {STEP_SCAN, JOB_SCAN, RC_ERROR, Failure::Refused},
        {STEP_CONNECTION, JOB_CONNECT, RC_ERROR, Failure::Refused},
        {STEP_CONNECTION, JOB_INQUIRY, RC_DEVICE_GONE, Failure::DeviceGone},
        {STEP_MODE, JOB_APPLY, RC_ERROR, Failure::Refused},
    };
    for (const auto& c : cases) {
        Result(c.step, c.jobId, c.code);
        EXPECT_EQ(flow.LastFailure(), c.failure) << c.jobId << " " << c.code;
    }
    module.statusFailure = STATUS_REFUSED;
    Result(STEP_FIRST, JOB_STATUS, 0);
    EXPECT_EQ(flow.LastFailure(), Failure::Refused);
    flow.Next(STEP_FIRST);
    EXPECT_EQ(flow.LastFailure(), Failure::None) << "a user action starts afresh";
    module.openFails = true;
    flow.Next(STEP_FIRST);
    EXPECT_EQ(flow.LastFailure(), Failure::PortFailed);
}

// status (linked) -> hang-up -> fails -> status (linked) -> ... ends after a
// bounded number of rounds with a way on for the user.
TEST_F(FlowTest, ALinkThatWillNotHangUpIsToldAfterTwoRounds) {
    module.link = LINK_CONNECTED;
    const auto hangUp = [&](int step) {
        const std::string status = Result(step, JOB_STATUS, 1);
        return status + "; " + Result(step, JOB_RETURN_ONLINE, RC_OK);
    };
    EXPECT_EQ(hangUp(STEP_MODE1), "job RETURN_ONLINE; job DISCONNECT");
    EXPECT_EQ(Result(STEP_MODE1, JOB_DISCONNECT, RC_TIMEOUT), "job STATUS");
    EXPECT_EQ(hangUp(STEP_MODE1), "job RETURN_ONLINE; job DISCONNECT");
    EXPECT_EQ(Result(STEP_MODE1, JOB_ESCAPE, RC_TIMEOUT), "job STATUS");
    EXPECT_EQ(Result(STEP_MODE1, JOB_STATUS, 1), Said(IDS_HANGUP_FAILED) + "; buttons NEXT");
    EXPECT_EQ(flow.LastFailure(), Failure::Refused);
    // Next starts the rounds afresh.
    EXPECT_EQ(NextOn(STEP_FIRST), "close; open COM33; job STATUS");
    EXPECT_EQ(hangUp(STEP_FIRST), "job RETURN_ONLINE; job DISCONNECT");
}

// Cancelling the run: a dial, search or scan whose result has not come is
// stopped and cancelled in the module; results after that change nothing.
TEST_F(FlowTest, CancelEndsWhatTheModuleWasStillDoing) {
    NextOn(STEP_SEARCH);
    log.Take();
    flow.Cancel(5000);
    EXPECT_EQ(log.Take(), "stop and cancel 5000");
    EXPECT_EQ(flow.LastFailure(), Failure::Cancelled);
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_STOPPED), "");
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_ABORTED), "");
    EXPECT_EQ(NextOn(STEP_FIRST), "");
}

TEST_F(FlowTest, CancelLeavesAFinishedOrNonLinkJobAlone) {
    NextOn(STEP_SEARCH);
    Result(STEP_CONNECTION, JOB_INQUIRY, RC_DONE);
    flow.Cancel(5000);
    EXPECT_EQ(log.Take(), "");
    CPairingFlow other(view);
    other.Attach(&module);
    view.step = STEP_MODE;
    other.Next(STEP_MODE);
    log.Take();
    other.Cancel(5000);
    EXPECT_EQ(log.Take(), "") << "the caller's close stops the apply";
}

TEST_F(FlowTest, AVanishedDeviceIsReportedOnceWhateverTheJob) {
    view.searching = true;
    const std::string gone = "connecting ended 3; search ended; close; " +
                             Said(FormatString(IDS_DEVICE_GONE, {"/dev/ttyUSB0 was disconnected"}));
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_INQUIRY, RC_DEVICE_GONE),
              "link 3; " + gone + "; connecting ended 3; connect buttons; buttons BACK");
    EXPECT_EQ(Result(STEP_MODE, JOB_APPLY, RC_DEVICE_GONE),
              "link 3; connecting ended 3; close; " +
                  Said(FormatString(IDS_DEVICE_GONE, {"/dev/ttyUSB0 was disconnected"})) +
                  "; buttons NEXT");
}

TEST_F(FlowTest, NothingFollowsAMessageWhenTheRunEndedInsideIt) {
    view.runGoesOn = false;
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 0), "link 3; " + Said(IDS_COMM_FAILED));
    EXPECT_EQ(Result(STEP_CONNECTION, JOB_CONNECT, RC_ERROR),
              "connecting ended 3; " + Said(IDS_CONNECT_FAILED));
    EXPECT_EQ(Result(STEP_MODE, JOB_DISCONNECT, RC_DISCONNECTED), Told(IDS_DISCONNECTED));
    flow.Attach(nullptr);
    EXPECT_EQ(Result(STEP_FIRST, JOB_STATUS, 1), "");
}

} // namespace
} // namespace norva::flow::test
