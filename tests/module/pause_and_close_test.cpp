// Pauses between commands give way to a stop or an abort without sending
// anything more; a close never swallows a command already written.

#include "ModuleFixture.h"
#include "support/ControlProbe.h"

#include <thread>

namespace norva::test {
namespace {

using PauseTest = ModuleOnPty;

TEST_F(PauseTest, StopBeforeTheEscapeSendsNothing) {
    WithoutWorker();
    module.Stop();
    EXPECT_EQ(RC_STOPPED, module.Escape(kReplyMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ("", peer.Received());
}

TEST_F(PauseTest, AbortDuringTheEscapePauseSendsNothing) {
    WithoutWorker();
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        module.Abort();
    });
    EXPECT_EQ(RC_ABORTED, module.Escape(kReplyMs));
    aborter.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ("", peer.Received());
}

TEST_F(PauseTest, StopDuringTheStatusPauseSendsNoStatusRequest) {
    WithoutWorker();
    peer.Answer("AT\r", {kOk});
    std::thread stopper([&] {
        ASSERT_TRUE(peer.WaitForReceived("AT\r", kReplyMs));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        module.Stop();
    });
    EXPECT_EQ(RC_STOPPED, module.QueryStatus());
    stopper.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(std::vector<std::string>{"AT\r"}, peer.Commands());
}

TEST_F(PauseTest, APauseEndsOnAbortAndUsesItUp) {
    WithoutWorker();
    module.Abort();
    EXPECT_EQ(RC_ABORTED, module.Pause(60000));
    EXPECT_FALSE(test::ControlProbe::JobEvent(module, EV_ABORT)->IsSet());
    EXPECT_EQ(RC_OK, module.Pause(1));
}

TEST_F(PauseTest, ErrorTwiceIsARefusalNotSilence) {
    WithoutWorker();
    peer.Answer("AT\r", {kError}, 2);
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_EQ(STATUS_REFUSED, module.LastStatusFailure());
}

TEST(CloseDelivers, AResetWrittenJustBeforeTheCloseArrivesWhole) {
    RecordingHost host;
    CModuleControl module(&host);
    module.SetAwaitResetReply(false);
    for (int run = 0; run < 200; ++run) {
        ScriptedPeer peer;
        ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 115200, 0, 0));
        module.TalkDirectly();
        ASSERT_EQ(RC_DONE, module.Reset(kReplyMs));
        module.ClosePort();
        ASSERT_TRUE(peer.WaitForReceived("ATZ\r", kReplyMs)) << "run " << run;
    }
}

TEST(StopWorkerOnTheWorker, NeitherDetachesNorBlocks) {
    // A host that stops the worker from inside a job result, as a sheet
    // reacting to a result on the worker's own thread would.
    class StoppingHost : public RecordingHost {
    public:
        CModuleControl* module = nullptr;
        void PostJobResult(int code, int jobId) override {
            module->StopWorker();
            RecordingHost::PostJobResult(code, jobId);
        }
    };
    StoppingHost host;
    ScriptedPeer peer;
    CModuleControl module(&host);
    host.module = &module;
    peer.Answer("AT+BTCANCEL\r", {kOk}, 2);
    ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 9600, 0, 0));
    module.Start(JobRequest::Of(Job::CancelCommand));
    ASSERT_TRUE(host.WaitForResults(1, kReplyMs));
    EXPECT_FALSE(module.WorkerRunning());
    // The ended thread is collected by the next open, which starts a new one.
    module.ClosePort();
    ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 9600, 0, 0));
    module.Start(JobRequest::Of(Job::CancelCommand));
    ASSERT_TRUE(host.WaitForResults(2, kReplyMs));
    module.ClosePort();
}

} // namespace
} // namespace norva::test
