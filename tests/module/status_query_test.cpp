// The status query: probe, repairs, and the status line.

#include "ModuleFixture.h"
#include "res/strings/StringTable.h"
#include "support/ControlProbe.h"

namespace norva::test {
namespace {

const std::string kLine7 = "\r\n00A0C4123456,Norva-BX01,MODE2,STANDBY,1,0,NoFC\r\n";
const std::string kLine6 = "\r\n00A0C4ABCDEF,Norva-BX02,MODE1,IDLE,0,1\r\n";

using StatusQuery = ModuleOnPty;

TEST_F(StatusQuery, SevenFieldsThenOkReadsEverything) {
    module.SetLinkState(LINK_DISCONNECTING);
    MarkBase();
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kLine7, {kOk, 0, Taken(kOk.size() + kLine7.size())}});
    EXPECT_EQ(1, module.QueryStatus());
    const ModuleInfoData d = module.LastStatus();
    EXPECT_STREQ("00A0C4123456", d.m_szAddress);
    EXPECT_STREQ("Norva-BX01", d.m_szName);
    EXPECT_EQ(2, d.m_nOpMode);
    EXPECT_EQ(LINK_STANDBY, d.m_nLinkState);
    EXPECT_EQ(1, d.m_nInfoFlag5);
    EXPECT_EQ(0, d.m_nInfoFlag6);
    EXPECT_EQ(0, d.m_nFlowControl);
    EXPECT_EQ((std::vector<std::string>{"AT\r", "AT+BTINFO?\r"}), peer.Commands());
}

TEST_F(StatusQuery, StatusAndOkInOneChunk) {
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kLine7 + kOk});
    EXPECT_EQ(1, module.QueryStatus());
    EXPECT_EQ(0, module.LastStatus().m_nFlowControl);
}

TEST_F(StatusQuery, SixFieldLineEndsTheQueryWithoutItsOk) {
    test::ControlProbe::Info(module).m_nFlowControl.store(0);
    peer.Answer("AT\r", {kOk});
    // No OK follows: waiting for it would time out.
    peer.Answer("AT+BTINFO?\r", {kLine6});
    EXPECT_EQ(1, module.QueryStatus());
    EXPECT_EQ(1, module.LastStatus().m_nFlowControl);
    EXPECT_EQ(LINK_STANDBY, module.LastStatus().m_nLinkState);
    EXPECT_EQ(1, module.LastStatus().m_nInfoFlag6);
    EXPECT_EQ("Norva-BX02", module.LastStatus().Name());
}

TEST_F(StatusQuery, ErrorOrBadFieldMeansNotRead) {
    peer.Answer("AT\r", {kOk}, 2);
    peer.Answer("AT+BTINFO?\r", {kError});
    EXPECT_EQ(0, module.QueryStatus());

    // Fields before the bad one keep their new values.
    test::ControlProbe::Info(module).m_nOpMode.store(3);
    peer.Answer("AT+BTINFO?\r", {"\r\n001122334455,Other,MODE1,STANDBY,2,0,HWFC\r\n" + kOk});
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_EQ("001122334455", module.LastStatus().Address());
    EXPECT_EQ("Other", module.LastStatus().Name());
    EXPECT_EQ(1, module.LastStatus().m_nOpMode);
}

// The ERROR a module sends for the CR behind "+++" may trail the escape's OK past the settle:
// it is passed over once; a second one is the module refusing the query.
TEST_F(StatusQuery, AnEscapeFirstPassesOverOneLateErrorOnly) {
    peer.Answer("+++\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kError + kLine7 + kOk});
    module.AssumeDataMode();
    EXPECT_EQ(1, module.QueryStatus());
    EXPECT_EQ("Norva-BX01", module.LastStatus().Name());

    peer.Answer("+++\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kError + kError});
    module.AssumeDataMode();
    EXPECT_EQ(0, module.QueryStatus());
}

TEST_F(StatusQuery, ProbeErrorTwiceGivesUpBeforeAsking) {
    peer.Answer("AT\r", {kError}, 2);
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_EQ((std::vector<std::string>{"AT\r", "AT\r"}), peer.Commands());
}

TEST_F(StatusQuery, ProbeErrorThenOkGoesOn) {
    peer.Answer("AT\r", {kError});
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kLine6});
    EXPECT_EQ(1, module.QueryStatus());
}

TEST(StatusQueryClosedPort, PortNeverOpenedFailsAtTheProbesWrite) {
    RecordingHost host;
    CModuleControl module(&host);
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_EQ(RC_OVERFLOW, module.Escape(kShortMs));
}

// Silent module (data mode or replies off): probe times out, the escape
// gets no answer, S10 reads "0": the user is told, S10 is set to 1, then the
// status is read. Runs as the worker's status job.
TEST_F(StatusQuery, MuteModuleGetsResponseMessagesSwitchedOn) {
    host.SetBoxMode(RecordingHost::BoxMode::Block);
    peer.Answer("ATS10?\r", {"\r\n0\r\n" + kOk});
    peer.Answer("ATS10=1\r", {kOk});
    peer.Answer("AT+BTINFO?\r", {kLine7 + kOk});
    module.Start(JobRequest::Of(Job::Status));

    ASSERT_TRUE(host.WaitForOpenMessageBox(20000));
    EXPECT_EQ(std::vector<std::string>{LoadString(IDS_RESPONSE_DISABLED)}, host.MessageBoxTexts());
    // The box holds the query: nothing is sent until it is closed.
    EXPECT_EQ((std::vector<std::string>{"AT\r", "+++\r", "ATS10?\r"}), peer.Commands());
    host.ReleaseMessageBox();

    ASSERT_TRUE(host.WaitForResults(1, 20000));
    EXPECT_EQ((JobResult{1, JOB_STATUS}), host.Results()[0]);
    EXPECT_EQ((std::vector<std::string>{"AT\r", "+++\r", "ATS10?\r", "ATS10=1\r", "AT+BTINFO?\r"}),
              peer.Commands());
    EXPECT_EQ((std::vector<BannerChange>{{Banner::Checking, true}, {Banner::Checking, false}}),
              host.Banners());
    EXPECT_EQ("00A0C4123456", module.LastStatus().Address());
}

TEST_F(StatusQuery, StopClosesTheMessageBoxAndEndsTheQuery) {
    host.SetBoxMode(RecordingHost::BoxMode::Block);
    peer.Answer("ATS10?\r", {"\r\n0\r\n" + kOk});
    module.Start(JobRequest::Of(Job::Status));
    ASSERT_TRUE(host.WaitForOpenMessageBox(20000));

    module.StopWorker(); // returns only once the worker has ended
    EXPECT_FALSE(module.WorkerRunning());
    ASSERT_EQ(1u, host.MessageBoxes().size());
    EXPECT_TRUE(host.MessageBoxes()[0].endedByStop);
    ASSERT_EQ(1u, host.Results().size());
    EXPECT_EQ((JobResult{RC_STOPPED, JOB_STATUS}), host.Results()[0]);
    EXPECT_FALSE(host.BannerShown(Banner::Checking));
}

TEST_F(StatusQuery, MuteModuleWhoseS10ReadFailsIsNotRead) {
    peer.Answer("ATS10?\r", {kOk}); // OK without a value line
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_TRUE(host.MessageBoxes().empty());
    EXPECT_EQ((std::vector<std::string>{"AT\r", "+++\r", "ATS10?\r"}), peer.Commands());
}

} // namespace
} // namespace norva::test
