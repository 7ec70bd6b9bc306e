// The two skeletons over a real pty: how reply bytes are reassembled,
// matched and bounded. Each case reads as the module's transcript.

#include "ModuleFixture.h"
#include "support/ControlProbe.h"

namespace norva::test {
namespace {

using LineSkeleton = ModuleOnPty;
using SubstringSkeleton = ModuleOnPty;

TEST_F(LineSkeleton, FramedOkSplitAtEveryBytePositionIsStillOk) {
    for (size_t split = 1; split < kOk.size(); ++split) {
        MarkBase();
        peer.Answer("AT+BTMODE,0\r", {kOk.substr(0, split), {kOk.substr(split), 0, Taken(split)}});
        EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 0)) << "split after byte " << split;
        EXPECT_EQ(kOk.size(), test::ControlProbe::BytesTaken(module) - m_base)
            << "split after byte " << split;
    }
}

TEST_F(LineSkeleton, ConnectLineStartedAfterOkIsCarriedOverAndCompleted) {
    // First chunk: OK and the first six bytes of the CONNECT line.
    MarkBase();
    const std::string first = kOk + "\r\nCONN";
    peer.Answer("ATD001122334455\r", {first, {"ECT 001122334455\r\n", 0, Taken(first.size())}});
    EXPECT_EQ(RC_CONNECTED, module.Connect(kReplyMs, "001122334455"));
}

TEST_F(LineSkeleton, LoneCrAndLfBetweenRepliesAreSkipped) {
    MarkBase();
    peer.Answer("AT+BTMODE,1\r", {"\r", {"\n", 0, Taken(1)}, {"\n\r" + kOk, 0, Taken(2)}});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
}

TEST_F(LineSkeleton, EchoedCommandIsDroppedBeforeTheReplyAndNoted) {
    peer.Answer("AT+BTMODE,1\r", {kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
    EXPECT_FALSE(module.EchoSeen());
    peer.Answer("AT+BTMODE,1\r", {"AT+BTMODE,1\r" + kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
    EXPECT_TRUE(module.EchoSeen());
    peer.Answer("AT+BTMODE,1\r", {"AT+BTMODE,1\r" + kError});
    EXPECT_EQ(RC_ERROR, module.SetOpMode(kReplyMs, 1));
}

TEST_F(LineSkeleton, UnframedOkIsATokenButNotTheReply) {
    peer.Answer("AT+BTMODE,1\r", {"OK\r\nOK\r\n"});
    EXPECT_EQ(RC_TIMEOUT, module.SetOpMode(kShortMs, 1));
}

TEST_F(LineSkeleton, ThirtyTwoBytesWithoutAnEndWaitOnThirtyThreeOverflow) {
    peer.Answer("AT+BTMODE,1\r", {Repeat('x', 32)});
    EXPECT_EQ(RC_TIMEOUT, module.SetOpMode(kShortMs, 1));
    // 33 in one chunk: the first wait takes 31, the second the rest.
    peer.Answer("AT+BTMODE,1\r", {Repeat('x', 33)});
    EXPECT_EQ(RC_OVERFLOW, module.SetOpMode(kReplyMs, 1));
    // Consumed tokens do not count: 5 dropped lines of 8 bytes, then OK.
    peer.Answer("AT+BTMODE,1\r", {"\r\nNOISE\r\n\r\nNOISE\r\n\r\nNOISE\r\n\r\nNOISE\r\n" + kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
}

TEST_F(LineSkeleton, ReplyBytesBeforeTheCommandAreEmptied) {
    peer.Send(kError);
    ASSERT_TRUE(peer.WaitWritten(kReplyMs));
    // Let the reader store the stale bytes before the transaction flushes.
    while (test::ControlProbe::Buffered(module) < static_cast<int>(kError.size())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    peer.Answer("AT+BTMODE,2\r", {kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 2));
}

TEST_F(SubstringSkeleton, OkFoundInsideAnEcho) {
    peer.Answer("AT\r", {"AT\r" + kOk});
    EXPECT_EQ(RC_OK, module.Probe(kReplyMs));
    peer.Answer("AT+BTCANCEL\r", {"AT+BTCANCEL\r" + kError});
    EXPECT_EQ(RC_ERROR, module.CancelCommand(kReplyMs));
    // OK is looked for first, wherever it stands.
    peer.Answer("AT\r", {kError + kOk});
    EXPECT_EQ(RC_OK, module.Probe(kReplyMs));
    peer.Answer("AT\r", {"\r\nERR" + kOk});
    EXPECT_EQ(RC_OK, module.Probe(kReplyMs));
}

TEST_F(SubstringSkeleton, ThirtyOneBytesOverflowThirtyWaitOn) {
    peer.Answer("AT\r", {Repeat('y', 30)});
    EXPECT_EQ(RC_TIMEOUT, module.Probe(kShortMs));
    MarkBase();
    peer.Answer("AT\r", {Repeat('y', 20), {Repeat('y', 11), 0, Taken(20)}});
    EXPECT_EQ(RC_OVERFLOW, module.Probe(kReplyMs));
    // The OK completing at byte 31 comes too late.
    peer.Answer("AT\r", {Repeat('y', 25) + kOk});
    EXPECT_EQ(RC_OVERFLOW, module.Probe(kReplyMs));
}

} // namespace
} // namespace norva::test
