// Search, connect, hang-up, scan and the data/command mode switches.

#include "ModuleFixture.h"

namespace norva::test {
namespace {

using Inquiry = ModuleOnPty;
using Connect = ModuleOnPty;
using Disconnect = ModuleOnPty;
using ModeSwitch = ModuleOnPty;
using Scan = ModuleOnPty;

const std::string kRow1 = "\r\n001122334455,Norva-BX01,001F00\r\n";
const std::string kRow2 = "\r\n0A0B0C0D0E0F,Bench meter,1F0100\r\n";
const std::string kRow3 = "\r\n665544332211,Phone,5A020C\r\n";

TEST_F(Inquiry, RowsArriveInOrderAndOkEndsTheList) {
    module.SetInquiryS24(7);
    peer.Answer("ATS24=7\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {kRow1 + kRow2, {kRow3, 20}, {kOk, 20}});
    EXPECT_EQ(RC_DONE, module.Inquiry(kReplyMs));
    EXPECT_EQ((std::vector<DeviceRow>{{"001122334455", "Norva-BX01", "001F00"},
                                      {"0A0B0C0D0E0F", "Bench meter", "1F0100"},
                                      {"665544332211", "Phone", "5A020C"}}),
              host.Rows());
    EXPECT_EQ(OP_INQUIRY, module.CurOp());
}

TEST_F(Inquiry, RowSplitAcrossChunksIsAddedOnceComplete) {
    MarkBase();
    peer.Answer("ATS24=10\r", {kOk});
    const std::string head = kRow1.substr(0, 17);
    peer.Answer("AT+BTINQ?\r", {head,
                                {kRow1.substr(17), 0, Taken(kOk.size() + head.size())},
                                {kOk, 0, Taken(kOk.size() + kRow1.size())}});
    EXPECT_EQ(RC_DONE, module.Inquiry(kReplyMs));
    EXPECT_EQ((std::vector<DeviceRow>{{"001122334455", "Norva-BX01", "001F00"}}), host.Rows());
}

TEST_F(Inquiry, NameWithACommaSpillsIntoTheClassColumn) {
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {"\r\n001122334455,Lab, left,001F00\r\n" + kOk});
    EXPECT_EQ(RC_DONE, module.Inquiry(kReplyMs));
    EXPECT_EQ((std::vector<DeviceRow>{{"001122334455", "Lab", " left,001F00"}}), host.Rows());
}

TEST_F(Inquiry, ErrorLineIsIgnoredAndTheSearchGoesOn) {
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {kRow1 + kError, {kRow2 + kOk, 20}});
    EXPECT_EQ(RC_DONE, module.Inquiry(kReplyMs));
    EXPECT_EQ(2u, host.Rows().size());
}

TEST_F(Inquiry, FailingS24WriteEndsItBeforeTheSearch) {
    peer.Answer("ATS24=10\r", {kError});
    EXPECT_EQ(RC_ERROR, module.Inquiry(kReplyMs));
    EXPECT_EQ(std::vector<std::string>{"ATS24=10\r"}, peer.Commands());
    EXPECT_TRUE(host.Rows().empty());
}

TEST_F(Inquiry, WithoutTimeLimitItEndsOnAbort) {
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", {kRow1});
    module.Start(JobRequest::Of(Job::Inquiry));
    ASSERT_TRUE(host.WaitForRows(1, kReplyMs));
    module.Abort();
    ASSERT_TRUE(host.WaitForResults(1, kReplyMs));
    EXPECT_EQ((JobResult{RC_ABORTED, JOB_INQUIRY}), host.Results()[0]);
}

TEST_F(Connect, OkThenConnectLineWithAddressConnects) {
    peer.Answer("ATD001122334455\r", {kOk, {"\r\nCONNECT 001122334455\r\n", 20}});
    EXPECT_EQ(RC_CONNECTED, module.Connect(kReplyMs, "001122334455"));
    EXPECT_EQ(OP_CONNECT, module.CurOp());
    peer.Answer("ATD001122334455\r", {"\r\nCONNECT\r\n"});
    EXPECT_EQ(RC_CONNECTED, module.Connect(kReplyMs, "001122334455"));
}

TEST_F(Connect, ErrorBeforeOrAfterOk) {
    peer.Answer("ATD001122334455\r", {kOk, {kError, 20}});
    EXPECT_EQ(RC_ERROR_AFTER_OK, module.Connect(kReplyMs, "001122334455"));
    peer.Answer("ATD001122334455\r", {kError});
    EXPECT_EQ(RC_ERROR, module.Connect(kReplyMs, "001122334455"));
    // "CONNECTED" is neither the bare line nor the line with an address.
    peer.Answer("ATD001122334455\r", {"\r\nCONNECTED\r\n"});
    EXPECT_EQ(RC_TIMEOUT, module.Connect(kShortMs, "001122334455"));
}

TEST_F(Disconnect, OkThenDisconnectLine) {
    peer.Answer("ATH\r", {kOk, {"\r\nDISCONNECT\r\n", 20}});
    EXPECT_EQ(RC_DISCONNECTED, module.Disconnect(kReplyMs));
    EXPECT_EQ(OP_DISCONNECT, module.CurOp());
    peer.Answer("ATH\r", {kError});
    EXPECT_EQ(RC_ERROR, module.Disconnect(kReplyMs));
}

TEST_F(Disconnect, OkAloneTimesOut) {
    peer.Answer("ATH\r", {kOk});
    EXPECT_EQ(RC_TIMEOUT, module.Disconnect(kShortMs));
}

TEST_F(ModeSwitch, EscapeWaitsForAQuietLineThenSendsPlusPlusPlus) {
    peer.Answer("+++\r", {kOk});
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(RC_OK, module.Escape(kReplyMs));
    ASSERT_EQ(1u, peer.CommandLog().size());
    EXPECT_GE(peer.CommandLog()[0].at - before, std::chrono::milliseconds(50));
    peer.Answer("+++\r", {kError});
    EXPECT_EQ(RC_ERROR, module.Escape(kReplyMs));
    EXPECT_EQ(RC_TIMEOUT, module.Escape(kShortMs));
}

TEST_F(ModeSwitch, ReturnOnlineOnlyWrites) {
    EXPECT_EQ(4, module.ReturnOnline());
    ASSERT_TRUE(peer.WaitForCommands(1, kReplyMs));
    EXPECT_EQ(std::vector<std::string>{"ATO\r"}, peer.Commands());
    EXPECT_EQ(OP_NONE, module.CurOp());
}

TEST_F(Scan, SendsModeAndTimeAndEndsOnOkOrError) {
    module.SetScanSettings({3, 3000});
    peer.Answer("AT+BTSCAN,3,3000\r", {"\r\nPAIRED\r\n" + kOk});
    EXPECT_EQ(RC_OK, module.Scan());
    module.SetScanSettings({3, 0}); // no limit at all
    peer.Answer("AT+BTSCAN,3,0\r", {{kError, 100}});
    EXPECT_EQ(RC_ERROR, module.Scan());
}

} // namespace
} // namespace norva::test
