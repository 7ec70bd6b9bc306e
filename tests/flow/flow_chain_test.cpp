// Chains of the decision table through the real controller, worker and serial
// port against a scripted module on a pseudo-terminal: each result the worker
// posts is handed to the flow, which starts the next job, until none is left.

#include "ScriptedFlow.h"

#include "flow/PairingController.h"
#include "module/ModuleControl.h"
#include "support/ControlProbe.h"
#include "support/RecordingHost.h"
#include "support/ScriptedPeer.h"

#include <algorithm>

namespace norva::flow::test {
namespace {

using norva::test::Chunk;
using norva::test::RecordingHost;
using norva::test::ScriptedPeer;

constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kError = "\r\nERROR\r\n";
constexpr const char* kStandby = "\r\n00A0961B2C02,Norva-BX02,MODE0,STANDBY,0,0,HWFC\r\n";
constexpr const char* kConnected = "\r\n00A0961B2C02,Norva-BX02,MODE0,CONNECT,0,0,HWFC\r\n";
// Covers the slowest single wait of a chain (the apply's mode command).
constexpr int kResultMs = 15000;

// The view's lines lead to the scripted module.
class PeerView : public RecordingView {
public:
    PeerView(Transcript& log, const ScriptedPeer& peer) : RecordingView(log), m_peer(peer) {}
    UnitLine LineOf(int unit) const override {
        UnitLine line = RecordingView::LineOf(unit);
        line.device = m_peer.Path();
        return line;
    }

private:
    const ScriptedPeer& m_peer;
};

class FlowChain : public ::testing::Test {
protected:
    void SetUp() override {
        SetUiLanguage(UiLanguage::English);
        ASSERT_TRUE(peer.Ok());
        flow.Attach(&controller);
    }
    void TearDown() override {
        flow.Attach(nullptr);
        module.ClosePort();
    }

    // Hands every result to the flow until no job it started is left; false
    // when a job did not report in time.
    bool Pump() {
        while (flow.JobsStarted() > delivered) {
            if (!host.WaitForResults(delivered + 1, kResultMs)) {
                return false;
            }
            const norva::test::JobResult r = host.Results()[delivered++];
            flow.OnJobResult(r.code, r.jobId);
        }
        return true;
    }
    // The flow's transcript since the last call, without the port's own lines.
    std::string Said() { return log.Take(); }

    Transcript log;
    ScriptedPeer peer;
    RecordingHost host;
    CModuleControl module{&host};
    PairingJobs controller{module};
    PeerView view{log, peer};
    CPairingFlow flow{view};
    size_t delivered = 0;
};

TEST_F(FlowChain, AnApplyThatTimedOutRunsAgainAfterTheCheck) {
    // The first mode command goes unheard, as by a unit still in data mode.
    peer.Answer("AT+BTMODE,1\r", {}, 1);
    peer.Answer("AT+BTMODE,1\r", {kOk});
    peer.Answer("AT\r", {kOk}, -1);
    peer.Answer("AT+BTINFO?\r", {Chunk(std::string(kStandby) + kOk)}, -1);
    peer.Answer("AT+UARTCONFIG,9600,N,1,1\r", {kOk});
    view.step = STEP_MODE;
    flow.Next(STEP_MODE);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(view.step, STEP_MODE1);
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{
                                   "AT+BTMODE,1\r", "AT\r", "AT+BTINFO?\r", "AT+BTMODE,1\r",
                                   "AT+UARTCONFIG,9600,N,1,1\r", "AT\r", "AT\r", "AT+BTINFO?\r"}));
    EXPECT_EQ(flow.LastFailure(), Failure::None);
}

TEST_F(FlowChain, AnAbortedConnectIsCancelledInTheModule) {
    ASSERT_TRUE(module.OpenPortPath(peer.Path(), 9600, 0, 0));
    peer.Answer("ATD00A0961B2C01\r", {kOk});
    peer.Answer("AT+BTCANCEL\r", {kOk});
    flow.SetTarget("00A0961B2C01");
    view.step = STEP_CONNECTION;
    flow.ConnectControl(true);
    ASSERT_TRUE(peer.WaitForCommands(1, kResultMs));
    flow.ConnectControl(false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"ATD00A0961B2C01\r", "AT+BTCANCEL\r"}));
    EXPECT_EQ(Said(), "search button off; search button off; connect buttons");
    EXPECT_EQ(module.LastStatus().m_nLinkState, LINK_STANDBY);
}

TEST_F(FlowChain, AStoppedSearchIsCancelledAndTheListStays) {
    ASSERT_TRUE(module.OpenPortPath(peer.Path(), 9600, 0, 0));
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {"\r\n00A0961B2C01,Norva-BX01,001F00\r\n"});
    peer.Answer("AT+BTCANCEL\r", {kOk});
    view.step = STEP_CONNECTION;
    flow.SearchControl(true);
    ASSERT_TRUE(host.WaitForRows(1, kResultMs));
    flow.SearchControl(false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(peer.Commands(),
              (std::vector<std::string>{"ATS24=10\r", "AT+BTINQ?\r", "AT+BTCANCEL\r"}));
    EXPECT_EQ(host.Rows().size(), 1u);
    EXPECT_FALSE(view.searching);
    EXPECT_EQ(module.LastStatus().m_nLinkState, LINK_STANDBY);
}

// Unit 1 back at step 8 stays linked and answers every hang-up with ERROR:
// after two rounds the user is told, and Next is the way on.
TEST_F(FlowChain, ALinkThatWillNotHangUpEndsWithAMessageAndNext) {
    peer.Answer("AT\r", {kOk}, -1);
    peer.Answer("AT+BTINFO?\r", {Chunk(std::string(kConnected) + kOk)}, -1);
    peer.Answer("+++\r", {kOk}, -1);
    peer.Answer("ATH\r", {kError}, -1);
    view.step = STEP_MODE1;
    flow.Next(STEP_MODE1);
    ASSERT_TRUE(Pump());
    const std::vector<std::string> commands = peer.Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "ATH\r"), CPairingFlow::kMaxHangups);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "AT+BTMODE,2\r"), 0);
    const std::string said = Said();
    EXPECT_NE(said.find(norva::flow::test::Said(IDS_HANGUP_FAILED) + "; buttons NEXT"),
              std::string::npos)
        << said;
    EXPECT_EQ(flow.LastFailure(), Failure::Refused);
}

// Cancelling the run while a search runs whose abort the idle worker would
// have used up: the module is still told to stop.
TEST_F(FlowChain, CancelWhileTheSearchHasNotBegunStillCancelsIt) {
    ASSERT_TRUE(module.OpenPortPath(peer.Path(), 9600, 0, 0));
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTCANCEL\r", {kOk}, -1);
    view.step = STEP_SEARCH;
    flow.Next(STEP_SEARCH);
    flow.Cancel(5000);
    EXPECT_EQ(peer.Commands().back(), "AT+BTCANCEL\r");
    EXPECT_EQ(flow.LastFailure(), Failure::Cancelled);
}

} // namespace
} // namespace norva::flow::test
