// Opening, stopping, aborting and closing around transactions.

#include "ModuleFixture.h"

#include "res/strings/StringTable.h"
#include "support/ControlProbe.h"

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace norva::test {
namespace {

using Lifecycle = ModuleOnPty;

TEST_F(Lifecycle, AbortEndsOnlyTheTransactionThatWaits) {
    WithoutWorker();
    auto waiting = std::async(std::launch::async, [&] { return module.SetOpMode(-1, 1); });
    ASSERT_TRUE(peer.WaitForCommands(1, kReplyMs));
    module.Abort();
    ASSERT_EQ(std::future_status::ready, waiting.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(RC_ABORTED, waiting.get());
    // Used up by that wait: the next transaction is not touched by it.
    EXPECT_FALSE(test::ControlProbe::JobEvent(module, EV_ABORT)->IsSet());
    peer.Answer("AT+BTMODE,1\r", {{kOk, 50}});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
}

TEST_F(Lifecycle, StopEndsTheWaitUnderWayAndEveryLaterOne) {
    WithoutWorker();
    auto waiting = std::async(std::launch::async, [&] { return module.Disconnect(-1); });
    ASSERT_TRUE(peer.WaitForCommands(1, kReplyMs));
    module.Stop();
    ASSERT_EQ(std::future_status::ready, waiting.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(RC_STOPPED, waiting.get());

    // Left set: each of these would otherwise wait without limit for an
    // answer that never comes.
    peer.SetResponder([](const std::string&) { return std::vector<Chunk>{}; });
    std::string value;
    EXPECT_EQ(RC_STOPPED, module.Probe(-1));
    EXPECT_EQ(RC_STOPPED, module.CancelCommand(-1));
    EXPECT_EQ(RC_STOPPED, module.SetOpMode(-1, 0));
    EXPECT_EQ(RC_STOPPED, module.ReadSRegister(-1, 10, value));
    EXPECT_EQ(RC_STOPPED, module.Inquiry(-1));
    EXPECT_EQ(RC_STOPPED, module.Escape(-1));
    EXPECT_EQ(RC_STOPPED, module.Connect(-1, "001122334455"));
    EXPECT_EQ(RC_STOPPED, module.QueryStatus());
}

TEST_F(Lifecycle, ClosePortEndsAJobThatWaitsWithoutLimit) {
    peer.Answer("ATS24=10\r", {kOk});
    module.Start(JobRequest::Of(Job::Inquiry));
    ASSERT_TRUE(peer.WaitForCommands(2, kReplyMs));
    module.ClosePort();
    EXPECT_FALSE(module.WorkerRunning());
    EXPECT_EQ((std::vector<JobResult>{{RC_STOPPED, JOB_INQUIRY}}), host.Results());
}

TEST_F(Lifecycle, ClosePortThenOpenPortWorksAgain) {
    module.ClosePort();
    EXPECT_EQ(RC_ERROR, module.SetOpMode(kReplyMs, 0)); // nothing to write to
    EXPECT_EQ(RC_OVERFLOW, module.Escape(kReplyMs));    // no data event

    ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 9600, 0, 0));
    EXPECT_TRUE(module.WorkerRunning());
    EXPECT_FALSE(test::ControlProbe::JobEvent(module, EV_STOP)->IsSet());
    peer.Answer("AT+BTMODE,0\r", {kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 0));
    // And the fresh worker runs jobs.
    peer.Answer("AT+BTCANCEL\r", {kOk});
    module.Start(JobRequest::Of(Job::CancelCommand));
    ASSERT_TRUE(host.WaitForResults(1, kReplyMs));
    EXPECT_EQ((JobResult{RC_OK, JOB_CANCEL_CMD}), host.Results()[0]);
}

TEST_F(Lifecycle, OpenFailureLeavesNoWorker) {
    module.ClosePort();
    EXPECT_EQ(0, module.OpenPortPath("/dev/norva-no-such-port", 9600, 0, 0));
    EXPECT_FALSE(module.WorkerRunning());
    EXPECT_NE(0, module.LastOpenError().code);
    // A busy port: the controller's own open holds it.
    ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 9600, 0, 0));
    CModuleControl second(&host);
    EXPECT_EQ(0, second.OpenPortPath(peer.Path(), 9600, 0, 0));
    EXPECT_FALSE(second.WorkerRunning());
}

// Descriptors run out while the job events are made: the user is told once,
// the slots from the failing one on stay empty, and signalling them is
// harmless.
TEST(JobEvents, CreationFailureStopsAtTheFailingSlot) {
    RecordingHost host; // holds a descriptor of its own
    // UBSan's vptr check opens a pipe the first time it meets a type; let it
    // meet this one now, while descriptors are still to be had.
    IModuleHost* volatile asHost = &host;
    asHost->HideBanner(Banner::Checking);
    // New descriptors take the lowest free number: fill every hole below the
    // highest one in use, then allow exactly three more.
    int highest = -1;
    for (int fd = 0; fd < 4096; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) {
            highest = fd;
        }
    }
    std::vector<int> fillers;
    for (int fd = 0; fd < highest; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            fillers.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
        }
    }
    constexpr int creatable = 3;
    rlimit saved{};
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &saved));
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(highest + 1 + 3);

    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &tight));
    auto module = std::make_unique<CModuleControl>(&host);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &saved));

    EXPECT_EQ(std::vector<std::string>{kCreateEventFailedText}, host.MessageBoxTexts());
    for (int slot = 0; slot < kJobEventCount; ++slot) {
        EXPECT_EQ(slot < creatable, test::ControlProbe::JobEvent(*module, slot) != nullptr)
            << "slot " << slot;
    }
    test::ControlProbe::Signal(*module, kJobEventCount - 1);
    module.reset();
    for (int fd : fillers) {
        close(fd);
    }
}

TEST(Banners, EachIsShownOnceAndHiddenOnceAndNoneOutlivesTheController) {
    RecordingHost host;
    {
        CModuleControl module(&host);
        using P = test::ControlProbe;
        P::Banner(module, Banner::Checking, true);
        P::Banner(module, Banner::Checking, true);
        P::Banner(module, Banner::Checking, false);
        P::Banner(module, Banner::Checking, false);
        P::Banner(module, Banner::Applying, true);
        P::Banner(module, Banner::Checking, true);
    }
    EXPECT_EQ((std::vector<BannerChange>{{Banner::Checking, true},
                                         {Banner::Checking, false},
                                         {Banner::Applying, true},
                                         {Banner::Checking, true},
                                         {Banner::Checking, false},
                                         {Banner::Applying, false}}),
              host.Banners());
}

} // namespace
} // namespace norva::test
