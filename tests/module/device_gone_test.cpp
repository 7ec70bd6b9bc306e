// A device that goes away (cable pulled, the other end of the line closed)
// ends every wait at once and is reported as itself, with the OS reason.

#include "ModuleFixture.h"

#include <chrono>
#include <ctime>
#include <future>
#include <thread>

namespace norva::test {
namespace {

using Clock = std::chrono::steady_clock;
// Only catches a hang: the hang-up is seen within milliseconds.
constexpr auto kHangBound = std::chrono::seconds(3);

class DeviceGone : public ModuleOnPty {
protected:
    // Runs `transaction` on its own thread, pulls the cable once the module
    // received `command`, and returns the transaction's result.
    int PullDuring(const std::string& command, std::function<int()> transaction) {
        auto result = std::async(std::launch::async, std::move(transaction));
        EXPECT_TRUE(peer.WaitForReceived(command, kReplyMs));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Clock::time_point pulled = Clock::now();
        peer.CloseMaster();
        EXPECT_EQ(std::future_status::ready, result.wait_for(kHangBound)) << command;
        m_reportedAfter = Clock::now() - pulled;
        // The figure for the record (`--gtest_output`), not a bound.
        ::testing::Test::RecordProperty(
            "unplug_to_result_us",
            static_cast<int>(
                std::chrono::duration_cast<std::chrono::microseconds>(m_reportedAfter).count()));
        return result.get();
    }

    void ExpectReason() {
        EXPECT_TRUE(module.HungUp());
        EXPECT_EQ(peer.Path() + " was disconnected (Input/output error)", module.GoneReason());
    }

    Clock::duration m_reportedAfter{};
};

TEST_F(DeviceGone, EndsASearchWithoutTimeLimit) {
    WithoutWorker();
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {"\r\n00A0961B2C09,Other,001F00\r\n"});
    EXPECT_EQ(RC_DEVICE_GONE, PullDuring("AT+BTINQ?\r", [&] { return module.Inquiry(-1); }));
    ExpectReason();
    // The row that came before the hang-up still counts.
    EXPECT_EQ(1u, host.Rows().size());
}

TEST_F(DeviceGone, EndsAConnectAttemptInsteadOfTimingOut) {
    WithoutWorker();
    peer.Answer("ATD00A0961B2C01\r", {kOk});
    EXPECT_EQ(RC_DEVICE_GONE, PullDuring("ATD00A0961B2C01\r",
                                         [&] { return module.Connect(30000, "00A0961B2C01"); }));
    ExpectReason();
}

TEST_F(DeviceGone, EndsAHangUpWithoutTimeLimit) {
    WithoutWorker();
    peer.Answer("ATH\r", {kOk});
    EXPECT_EQ(RC_DEVICE_GONE, PullDuring("ATH\r", [&] { return module.Disconnect(-1); }));
}

TEST_F(DeviceGone, LaterCommandsFailAtOnceAndNothingSpins) {
    WithoutWorker();
    peer.Answer("AT\r", {kOk});
    ASSERT_EQ(RC_OK, module.Probe(kReplyMs));
    peer.CloseMaster();
    const Clock::time_point deadline = Clock::now() + kHangBound;
    while (!module.HungUp() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ExpectReason();
    const std::clock_t cpuBefore = std::clock();
    // Every later transaction, waits of any length included, ends at once
    // with the same report; the status query reports it too.
    EXPECT_EQ(RC_DEVICE_GONE, module.Probe(60000));
    EXPECT_EQ(RC_DEVICE_GONE, module.Inquiry(-1));
    EXPECT_EQ(RC_DEVICE_GONE, module.Escape(-1));
    EXPECT_EQ(RC_DEVICE_GONE, module.QueryStatus());
    EXPECT_EQ(STATUS_INTERRUPTED, module.LastStatusFailure());
    EXPECT_EQ(RC_DEVICE_GONE, module.Pause(60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // No thread may be busy after the hang-up (a spin would burn the whole
    // 300 ms).
    EXPECT_LT(static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC, 0.1);
}

TEST_F(DeviceGone, WorkerReportsEachJobAsGone) {
    peer.Answer("AT\r", {kOk});
    peer.CloseMaster();
    module.Start(JobRequest::Of(Job::Status));
    ASSERT_TRUE(host.WaitForResults(1, kReplyMs));
    module.Start(JobRequest::ConnectTo("0012A1000002"));
    ASSERT_TRUE(host.WaitForResults(2, kReplyMs));
    module.Start(JobRequest::Store({}));
    ASSERT_TRUE(host.WaitForResults(3, kReplyMs));
    EXPECT_EQ((std::vector<JobResult>{{RC_DEVICE_GONE, JOB_STATUS},
                                      {RC_DEVICE_GONE, JOB_CONNECT},
                                      {RC_DEVICE_GONE, JOB_APPLY}}),
              host.Results());
}

TEST_F(DeviceGone, AReopenedPortStartsClean) {
    peer.CloseMaster();
    module.Start(JobRequest::Of(Job::Status));
    ASSERT_TRUE(host.WaitForResults(1, kReplyMs));
    module.ClosePort();
    EXPECT_FALSE(module.HungUp());

    ScriptedPeer back;
    ASSERT_EQ(1, module.OpenPortPath(back.Path(), 9600, 0, 0));
    EXPECT_FALSE(module.HungUp());
    EXPECT_EQ("", module.GoneReason());
    back.Answer("AT\r", {kOk});
    WithoutWorker();
    EXPECT_EQ(RC_OK, module.Probe(kReplyMs));
    module.ClosePort();
}

} // namespace
} // namespace norva::test
