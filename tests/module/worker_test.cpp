// The device-job worker against a scripted module on a real pseudo-terminal:
// which job runs when, what each job sends, which notifications it posts and
// how it stops.

#include "module/ModuleControl.h"
#include "module/ReadBack.h"
#include "res/strings/StringTable.h"
#include "support/ControlProbe.h"
#include "support/RecordingHost.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace norva {
namespace {

using test::Chunk;
using test::JobResult;
using test::RecordingHost;
using test::ScriptedPeer;
using Clock = std::chrono::steady_clock;

const char* const kOk = "\r\nOK\r\n";
const char* const kError = "\r\nERROR\r\n";
const char* const kStatusLine = "\r\n0012A1000001,Norva-BX01,MODE0,STANDBY,0,0,HWFC\r\n";
const char* const kPendingLine = "\r\n0012A1000001,Norva-BX01,MODE0,PENDING,0,0,HWFC\r\n";
// What the apply job reads back once it has stored mode 1 with flow control.
const char* const kMode1Line = "\r\n0012A1000001,Norva-BX01,MODE1,STANDBY,0,0,HWFC\r\n";
const char* const kStatusCommands[] = {"AT\r", "AT+BTINFO?\r"};

// Bounds that only catch hangs; the work itself takes a fraction of them.
constexpr int kResultMs = 10000;
constexpr auto kPromptly = std::chrono::seconds(2);

// Records, with each result, whether the applying banner was up when it came.
class OrderHost : public RecordingHost {
public:
    using RecordingHost::RecordingHost;
    void PostJobResult(int code, int jobId) override {
        {
            std::lock_guard<std::mutex> lock(m_orderLock);
            m_applyingAtPost.push_back(BannerShown(Banner::Applying));
        }
        RecordingHost::PostJobResult(code, jobId);
    }
    std::vector<bool> ApplyingAtPost() const {
        std::lock_guard<std::mutex> lock(m_orderLock);
        return m_applyingAtPost;
    }

private:
    mutable std::mutex m_orderLock;
    std::vector<bool> m_applyingAtPost;
};

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        ASSERT_EQ(module.OpenPortPath(peer.Path(), 9600, 0, 0), 1);
        ASSERT_TRUE(module.WorkerRunning());
    }
    void TearDown() override { module.ClosePort(); }

    void AnswerStatus(const char* line = kStatusLine) {
        peer.Answer("AT\r", {kOk});
        peer.Answer("AT+BTINFO?\r", {Chunk(std::string(line) + kOk)});
    }
    // The status read after an apply: a probe of its own, then the query.
    void AnswerReadBack(const char* line) {
        peer.Answer("AT\r", {kOk}, 2);
        peer.Answer("AT+BTINFO?\r", {Chunk(std::string(line) + kOk)});
    }
    // A cancel job that stays busy until `release` is set, so that later
    // signals are all pending when the worker looks again.
    void StartBusyCancel(std::atomic<bool>& release) {
        peer.Answer("AT+BTCANCEL\r", {Chunk(kOk, 0, [&release] { return release.load(); })});
        module.Start(JobRequest::Of(Job::CancelCommand));
        ASSERT_TRUE(peer.WaitForCommands(1, kResultMs));
    }
    std::vector<JobResult> WaitResults(size_t n) {
        EXPECT_TRUE(host.WaitForResults(n, kResultMs));
        return host.Results();
    }
    void StartApply() { module.Start(JobRequest::Store(module.ApplySettings())); }
    void SetApplyValues(int mode) { module.SetApplySettings({mode, 9600, 0, 0, 1}); }

    ScriptedPeer peer;
    OrderHost host;
    CModuleControl module{&host};
};

TEST_F(WorkerTest, LowestSignalledSlotRunsFirstAndEachJobRunsOnce) {
    std::atomic<bool> release{false};
    StartBusyCancel(release);
    AnswerStatus();
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {kOk});
    module.Start(JobRequest::Of(Job::Inquiry));
    module.Start(JobRequest::Of(Job::Status));
    module.Start(JobRequest::Of(Job::Status)); // no count: still one status job
    release = true;

    EXPECT_EQ(
        WaitResults(3),
        (std::vector<JobResult>{{RC_OK, JOB_CANCEL_CMD}, {1, JOB_STATUS}, {RC_DONE, JOB_INQUIRY}}));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"AT+BTCANCEL\r", "AT\r", "AT+BTINFO?\r",
                                                         "ATS24=10\r", "AT+BTINQ?\r"}));
    // The status job ran between the checking banner's show and hide.
    EXPECT_EQ(host.Banners(), (std::vector<test::BannerChange>{{Banner::Checking, true},
                                                               {Banner::Checking, false}}));
    EXPECT_EQ(module.LastStatus().Address(), "0012A1000001");
}

TEST_F(WorkerTest, StopWinsOverAJobSignalledWithIt) {
    std::atomic<bool> release{false};
    StartBusyCancel(release);
    module.Start(JobRequest::Of(Job::Status));
    const auto start = Clock::now();
    module.StopWorker();
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_FALSE(module.WorkerRunning());

    // The job under way ends stopped; the status job never starts.
    EXPECT_EQ(host.Results(), (std::vector<JobResult>{{RC_STOPPED, JOB_CANCEL_CMD}}));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"AT+BTCANCEL\r"}));
    EXPECT_TRUE(host.Banners().empty());
}

TEST_F(WorkerTest, AbortWhileIdleIsUsedUpAndSparesTheNextJob) {
    module.Abort();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (test::ControlProbe::JobEvent(module, EV_ABORT)->IsSet() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(test::ControlProbe::JobEvent(module, EV_ABORT)->IsSet());
    EXPECT_TRUE(host.Results().empty());

    peer.Answer("AT+BTCANCEL\r", {kOk});
    module.Start(JobRequest::Of(Job::CancelCommand));
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_OK, JOB_CANCEL_CMD}}));
}

TEST_F(WorkerTest, EachSlotRunsItsOperationAndReportsItsJobId) {
    test::ControlProbe::SetTarget(module, "0012A1000002");
    module.SetScanSettings({3, 30});
    test::ControlProbe::SetRegister(module, 10);
    peer.Answer("ATD0012A1000002\r", {Chunk(std::string(kOk) + "\r\nCONNECT 0012A1000002\r\n")});
    peer.Answer("+++\r", {kOk});
    peer.Answer("AT+BTSCAN,3,30\r", {kOk});
    peer.Answer("ATS10?\r", {Chunk(std::string("\r\n1\r\n") + kOk)});
    peer.Answer("ATZ\r", {kOk});

    const std::vector<std::pair<int, JobResult>> cases = {
        {EV_CONNECT, {RC_CONNECTED, JOB_CONNECT}},
        {EV_ESCAPE, {RC_OK, JOB_ESCAPE}},
        {EV_SCAN, {RC_OK, JOB_SCAN}},
        {EV_READ_SREG, {RC_OK, JOB_READ_SREG}},
        {EV_RESET, {RC_OK, JOB_RESET}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        test::ControlProbe::Signal(module, cases[i].first);
        ASSERT_TRUE(host.WaitForResults(i + 1, kResultMs)) << "slot " << cases[i].first;
        EXPECT_EQ(host.Results().back(), cases[i].second) << "slot " << cases[i].first;
    }
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"ATD0012A1000002\r", "+++\r",
                                                         "AT+BTSCAN,3,30\r", "ATS10?\r", "ATZ\r"}));
    EXPECT_EQ(module.RegisterValue(), "1");
}

TEST_F(WorkerTest, DisconnectOfAConnectedLinkEscapesThenHangsUp) {
    module.SetLinkState(LINK_CONNECTED);
    peer.Answer("+++\r", {kOk});
    peer.Answer("ATH\r", {Chunk(std::string(kOk) + "\r\nDISCONNECT\r\n")});
    module.Start(JobRequest::Of(Job::Disconnect));

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DISCONNECTED, JOB_DISCONNECT}}));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"+++\r", "ATH\r"}));
    // Left for the host to set: the job itself only marks the link as going.
    EXPECT_EQ(module.LastStatus().m_nLinkState, LINK_DISCONNECTING);
}

TEST_F(WorkerTest, DisconnectAfterAFailedApplyRunsApplyAgainWithoutNotifying) {
    module.SetLinkState(LINK_CONNECTED);
    SetApplyValues(1);
    peer.Answer("+++\r", {kOk});
    peer.Answer("ATH\r", {Chunk(std::string(kOk) + "\r\nDISCONNECT\r\n")});
    peer.Answer("AT+BTMODE,1\r", {kOk});
    peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kOk});
    AnswerReadBack(kMode1Line);
    JobRequest hangUp = JobRequest::Of(Job::Disconnect);
    hangUp.thenApply = true;
    module.Start(hangUp);

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DONE, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"+++\r", "ATH\r", "AT+BTMODE,1\r",
                                                         "AT+UARTCONFIG,9600,N,1,1\r", "AT\r",
                                                         kStatusCommands[0], kStatusCommands[1]}));
    EXPECT_EQ(module.LastStatus().m_nLinkState, LINK_STANDBY);
}

TEST_F(WorkerTest, FailedEscapeReportsTheEscapeJobAndLeavesTheLinkDisconnecting) {
    module.SetLinkState(LINK_CONNECTED);
    peer.Answer("+++\r", {kError});
    JobRequest hangUp = JobRequest::Of(Job::Disconnect);
    hangUp.thenApply = true;
    module.Start(hangUp);

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ERROR, JOB_ESCAPE}}));
    EXPECT_EQ(module.LastStatus().m_nLinkState, LINK_DISCONNECTING);
    // No hang-up follows a failed escape.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"+++\r"}));
}

TEST_F(WorkerTest, ApplyStoresModeThenUartAndHidesTheBannerAfterSuccess) {
    module.SetApplySettings({2, 115200, 2, 2, 0});
    peer.Answer("AT+BTMODE,2\r", {kOk});
    peer.Answer("AT+UARTCONFIG,115200,E,2,0\r", {kOk});
    AnswerReadBack("\r\n0012A1000001,Norva-BX01,MODE2,STANDBY,0,0,NoFC\r\n");
    StartApply();

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DONE, JOB_APPLY}}));
    ASSERT_TRUE(peer.WaitForCommands(2, kResultMs));
    EXPECT_EQ(host.ApplyingAtPost(), std::vector<bool>{true});
    EXPECT_TRUE(host.MessageBoxTexts().empty());
    // The banner goes away right after the notification.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (host.BannerShown(Banner::Applying) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(host.Banners(), (std::vector<test::BannerChange>{{Banner::Applying, true},
                                                               {Banner::Applying, false}}));
}

TEST_F(WorkerTest, ApplyFallsBackToTheShortUartFormOnOldFirmware) {
    struct Case {
        int flowControl;
        bool firmwareMessage;
    };
    // Only a module that reported "NoFC" gets the firmware message.
    for (const Case c : {Case{0, true}, Case{1, false}}) {
        SCOPED_TRACE(c.flowControl);
        host.Clear();
        peer.ClearReceived();
        test::ControlProbe::Info(module).m_nFlowControl = c.flowControl;
        SetApplyValues(1);
        peer.Answer("AT+BTMODE,1\r", {kOk});
        peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kError});
        peer.Answer("AT+UARTCONFIG,9600,N,1\r", {kOk});
        // The short status line has no flow-control field to compare.
        AnswerReadBack("\r\n0012A1000001,Norva-BX01,MODE1,STANDBY,0,0\r\n");
        StartApply();

        EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DONE, JOB_APPLY}}));
        EXPECT_EQ(peer.Commands(),
                  (std::vector<std::string>{"AT+BTMODE,1\r", "AT+UARTCONFIG,9600,N,1,1\r",
                                            "AT+UARTCONFIG,9600,N,1\r", "AT\r", kStatusCommands[0],
                                            kStatusCommands[1]}));
        EXPECT_EQ(module.LastApply().firmwareBoxShown, c.firmwareMessage);
        if (c.firmwareMessage) {
            EXPECT_EQ(host.MessageBoxTexts(), std::vector<std::string>{kFirmwareMismatchText});
        } else {
            EXPECT_TRUE(host.MessageBoxTexts().empty());
        }
    }
}

// An abort or a stop ends the apply job where it is: the short UART form is
// not sent after them.
TEST_F(WorkerTest, ApplyInterruptedAtTheUartStepSendsNothingMore) {
    SetApplyValues(1);
    peer.Answer("AT+BTMODE,1\r", {kOk});
    StartApply();
    ASSERT_TRUE(peer.WaitForReceived("AT+UARTCONFIG,9600,N,1,1\r", kResultMs));
    module.Abort();
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ABORTED, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(),
              (std::vector<std::string>{"AT+BTMODE,1\r", "AT+UARTCONFIG,9600,N,1,1\r"}));

    host.Clear();
    peer.ClearReceived();
    peer.Answer("AT+BTMODE,1\r", {kOk});
    StartApply();
    ASSERT_TRUE(peer.WaitForReceived("AT+UARTCONFIG,9600,N,1,1\r", kResultMs));
    module.StopWorker();
    EXPECT_EQ(host.Results(), (std::vector<JobResult>{{RC_STOPPED, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(),
              (std::vector<std::string>{"AT+BTMODE,1\r", "AT+UARTCONFIG,9600,N,1,1\r"}));
}

// The same at the mode step: nothing of the UART setting goes out.
TEST_F(WorkerTest, ApplyInterruptedAtTheModeStepSendsNothingMore) {
    SetApplyValues(1);
    StartApply();
    ASSERT_TRUE(peer.WaitForReceived("AT+BTMODE,1\r", kResultMs));
    module.Abort();
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ABORTED, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(), std::vector<std::string>{"AT+BTMODE,1\r"});
    EXPECT_FALSE(host.BannerShown(Banner::Applying));

    host.Clear();
    peer.ClearReceived();
    StartApply();
    ASSERT_TRUE(peer.WaitForReceived("AT+BTMODE,1\r", kResultMs));
    module.StopWorker();
    EXPECT_EQ(host.Results(), (std::vector<JobResult>{{RC_STOPPED, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(), std::vector<std::string>{"AT+BTMODE,1\r"});
}

TEST_F(WorkerTest, ApplyFailureHidesTheBannerBeforeNotifying) {
    SetApplyValues(1);
    peer.Answer("AT+BTMODE,1\r", {kOk});
    peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kError});
    peer.Answer("AT+UARTCONFIG,9600,N,1\r", {kError});
    StartApply();

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ERROR, JOB_APPLY}}));
    EXPECT_EQ(host.ApplyingAtPost(), std::vector<bool>{false});
}

TEST_F(WorkerTest, ApplyOnAPendingModuleCancelsAndGoesOnWithoutResendingTheMode) {
    SetApplyValues(1);
    peer.Answer("AT+BTMODE,1\r", {kError});
    AnswerStatus(kPendingLine);
    peer.Answer("AT+BTCANCEL\r", {kOk});
    peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kOk});
    // The mode sent before the cancel was refused: the read-back tells
    // whether the unit has it anyway.
    AnswerReadBack(kMode1Line);
    StartApply();

    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DONE, JOB_APPLY}}));
    EXPECT_EQ(peer.Commands(),
              (std::vector<std::string>{"AT+BTMODE,1\r", "AT\r", "AT+BTINFO?\r", "AT+BTCANCEL\r",
                                        "AT+UARTCONFIG,9600,N,1,1\r", "AT\r", kStatusCommands[0],
                                        kStatusCommands[1]}));
}

TEST_F(WorkerTest, ApplyRefusedOutsidePendingReportsErrorNotTheStatusCode) {
    SetApplyValues(1);
    // Mode refused on an idle module: the status reads fine but shows no
    // pending link to cancel.
    peer.Answer("AT+BTMODE,1\r", {kError});
    AnswerStatus();
    StartApply();
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ERROR, JOB_APPLY}}));

    // Mode refused and the status query fails.
    host.Clear();
    peer.Answer("AT+BTMODE,1\r", {kError});
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kError});
    StartApply();
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_ERROR, JOB_APPLY}}));
    EXPECT_EQ(host.ApplyingAtPost().back(), false);
}

// What the status shows right after the apply is recorded, never held against
// the unit: it may show new settings only after a restart, or listen at the
// new UART setting already. Old firmware's "off not stored" stays its own case.
TEST_F(WorkerTest, ApplyReadBackRecordsWhatTheStatusShowsAndEndsDone) {
    struct Case {
        const char* name;
        int flow;
        const char* uartCommand;
        const char* uartReply;
        std::string status; // reply to AT+BTINFO?; empty: the unit is silent after the apply
        ApplyConfirmation confirmation;
        bool flowNotStored;
    };
    const std::string standby1 = "\r\n0012A1000001,Norva-BX01,MODE1,STANDBY,0,0";
    const std::string standby0 = "\r\n0012A1000001,Norva-BX01,MODE0,STANDBY,0,0";
    const Case cases[] = {
        {"all shown",
         1,
         "AT+UARTCONFIG,9600,N,1,1\r",
         kOk,
         standby1 + ",HWFC\r\n" + kOk,
         {true, true, true, true},
         false},
        {"mode shown at the restart",
         1,
         "AT+UARTCONFIG,9600,N,1,1\r",
         kOk,
         standby0 + ",HWFC\r\n" + kOk,
         {true, false, true, true},
         false},
        {"flow shown at the restart",
         0,
         "AT+UARTCONFIG,9600,N,1,0\r",
         kOk,
         standby1 + ",HWFC\r\n" + kOk,
         {true, true, false, true},
         false},
        {"nothing shown yet",
         0,
         "AT+UARTCONFIG,9600,N,1,0\r",
         kOk,
         standby0 + ",HWFC\r\n" + kOk,
         {true, false, false, true},
         false},
        {"status refused",
         1,
         "AT+UARTCONFIG,9600,N,1,1\r",
         kOk,
         kError,
         {false, false, false, true},
         false},
        {"silent at the old setting",
         1,
         "AT+UARTCONFIG,9600,N,1,1\r",
         kOk,
         "",
         {false, false, false, true},
         false},
        // The short form cannot carry "off"; the status line cannot show it.
        {"old firmware",
         0,
         "AT+UARTCONFIG,9600,N,1,0\r",
         kError,
         standby1 + "\r\n",
         {true, true, false, false},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.Clear();
        peer.ClearReceived();
        peer.ClearRules();
        test::ControlProbe::Info(module).m_nFlowControl = 1;
        module.SetApplySettings({1, 9600, 0, 0, c.flow});
        peer.Answer("AT+BTMODE,1\r", {kOk});
        peer.Answer(c.uartCommand, {c.uartReply});
        peer.Answer("AT+UARTCONFIG,9600,N,1\r", {kOk});
        if (!c.status.empty()) {
            peer.Answer("AT\r", {kOk}, 2);
            peer.Answer("AT+BTINFO?\r", {Chunk(c.status)}, 2);
        }
        StartApply();

        EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_DONE, JOB_APPLY}}));
        EXPECT_EQ(peer.Commands().back(), c.status.empty() ? "AT\r" : "AT+BTINFO?\r")
            << "a silent unit gets one probe, not the status query's recovery";
        const ApplyConfirmation got = module.LastConfirmation();
        EXPECT_EQ(got.statusRead, c.confirmation.statusRead);
        EXPECT_EQ(got.modeShown, c.confirmation.modeShown);
        EXPECT_EQ(got.flowShown, c.confirmation.flowShown);
        EXPECT_EQ(got.flowReported, c.confirmation.flowReported);
        EXPECT_EQ(module.LastApply().flowNotStored, c.flowNotStored);
    }
}

TEST_F(WorkerTest, ApplyWithoutAnswerNamesTheModeCommand) {
    SetApplyValues(1);
    // The mode command is not answered (a module in data mode hears nothing).
    StartApply();
    ASSERT_TRUE(host.WaitForResults(1, kResultMs));
    EXPECT_EQ(host.Results(), (std::vector<JobResult>{{RC_TIMEOUT, JOB_APPLY}}));
    EXPECT_EQ(module.LastOutcome().step, OP_SET_MODE);
    EXPECT_FALSE(host.BannerShown(Banner::Applying));
}

TEST_F(WorkerTest, StopDuringAnInquiryWithoutTimeLimitReturnsPromptly) {
    peer.Answer("ATS24=10\r", {kOk});
    module.Start(JobRequest::Of(Job::Inquiry));
    ASSERT_TRUE(peer.WaitForReceived("AT+BTINQ?\r", kResultMs));

    const auto start = Clock::now();
    module.StopWorker();
    EXPECT_LT(Clock::now() - start, kPromptly);
    EXPECT_EQ(host.Results(), (std::vector<JobResult>{{RC_STOPPED, JOB_INQUIRY}}));
}

TEST_F(WorkerTest, StopWhileAMessageBoxIsUpReturnsPromptly) {
    host.SetBoxMode(RecordingHost::BoxMode::Block);
    test::ControlProbe::Info(module).m_nFlowControl = 0;
    SetApplyValues(1);
    peer.Answer("AT+BTMODE,1\r", {kOk});
    peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kError});
    peer.Answer("AT+UARTCONFIG,9600,N,1\r", {kOk});
    StartApply();
    ASSERT_TRUE(host.WaitForOpenMessageBox(kResultMs));
    // The box holds the job: nothing is reported while it is up.
    EXPECT_TRUE(host.Results().empty());
    EXPECT_TRUE(host.BannerShown(Banner::Applying));

    const auto start = Clock::now();
    module.StopWorker();
    EXPECT_LT(Clock::now() - start, kPromptly);
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    EXPECT_TRUE(host.MessageBoxes()[0].endedByStop);
    EXPECT_FALSE(host.BannerShown(Banner::Applying));
}

TEST_F(WorkerTest, TheWorkerRunsAgainAfterThePortIsReopened) {
    module.ClosePort();
    ASSERT_EQ(module.OpenPortPath(peer.Path(), 9600, 0, 0), 1);
    peer.Answer("AT+BTCANCEL\r", {kOk});
    module.Start(JobRequest::Of(Job::CancelCommand));
    EXPECT_EQ(WaitResults(1), (std::vector<JobResult>{{RC_OK, JOB_CANCEL_CMD}}));
}

// A job event that could not be created makes every wait fail: the worker
// shows the system's text for it and keeps going until it is stopped.
TEST(WorkerWaitFailure, ShowsTheSystemErrorTextAndStillStops) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    RecordingHost host;
    CModuleControl module(&host);
    test::ControlProbe::DropJobEvent(module, EV_RESET);
    ASSERT_EQ(module.OpenPortPath(peer.Path(), 9600, 0, 0), 1);

    ASSERT_TRUE(host.WaitForMessageBoxes(2, kResultMs));
    EXPECT_EQ(host.MessageBoxTexts()[0], std::strerror(EBADF));
    const auto start = Clock::now();
    module.StopWorker();
    EXPECT_LT(Clock::now() - start, kPromptly);
    module.ClosePort();
}

} // namespace
} // namespace norva
