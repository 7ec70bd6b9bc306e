// Whatever the module sends: NUL and 8-bit bytes, endless lines, floods.
// Nothing may crash, write past a buffer, or wait past its time-out.

#include "ModuleFixture.h"
#include "support/ControlProbe.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace norva::test {
namespace {

using UntrustedReply = ModuleOnPty;

std::string NoCrBytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<char>(i % 256);
        s[i] = b == '\r' ? 'x' : b;
    }
    return s;
}

// Long replies in paced chunks: the receive ring drops what the reader cannot
// store, and these tests are about what the transaction makes of every byte.
std::vector<Chunk> Paced(const std::string& bytes) {
    std::vector<Chunk> chunks;
    for (size_t i = 0; i < bytes.size(); i += 100) {
        chunks.emplace_back(bytes.substr(i, 100), 2);
    }
    return chunks;
}

TEST_F(UntrustedReply, NulAndEightBitLinesAreDroppedLikeAnyOther) {
    peer.Answer("AT+BTMODE,1\r", {"\r\n\0\xff\x80\r\n"s + kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
    peer.Answer("AT\r", {"\0\0\xfe"s + kOk});
    EXPECT_EQ(RC_OK, module.Probe(kReplyMs));
}

TEST_F(UntrustedReply, StatusFieldsWithOddBytesAreStoredBounded) {
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r",
                {"\r\n\xff\xfe\0ABCDEFGHIJKLMN,N\xe4me\0x,MODE0,IDLE,0,0,HWFC\r\n"s + kOk});
    EXPECT_EQ(1, module.QueryStatus());
    const ModuleInfoData d = module.LastStatus();
    EXPECT_EQ(0, std::memcmp(d.m_szAddress, "\xff\xfe\0ABCDEFGHI\0", 13));
    EXPECT_EQ(0, std::memcmp(d.m_szName, "N\xe4me\0x\0", 7));
}

TEST_F(UntrustedReply, StatusLineLongerThanAnyNameIsNotRead) {
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r",
                {"\r\n001122334455," + Repeat('n', 400) + ",MODE0,IDLE,0,0,HWFC\r\n" + kOk});
    test::ControlProbe::Info(module).SetName("old", 3);
    EXPECT_EQ(0, module.QueryStatus());
    EXPECT_EQ("old", module.LastStatus().Name());
    EXPECT_EQ(STATUS_UNREADABLE, module.LastStatusFailure());
}

TEST_F(UntrustedReply, StatusReplyThatNeverEndsALineIsNotRead) {
    peer.Answer("AT\r", {kOk});
    // Skipped as one overlong line, then nothing more: the query's own
    // time-out ends it.
    peer.Answer("AT+BTINFO?\r", {"\r\n" + NoCrBytes(400)});
    EXPECT_EQ(RC_TIMEOUT, module.QueryStatus());
    EXPECT_EQ(STATUS_NO_ANSWER, module.LastStatusFailure());
    // A line that runs on past any status line's length overflows at once.
    peer.Answer("AT\r", {kOk});
    peer.Answer("AT+BTINFO?\r", Paced("\r\n" + NoCrBytes(4000)));
    EXPECT_EQ(0, module.QueryStatus());
}

TEST_F(UntrustedReply, EndlessLinesOverflowTheUnlimitedTransactions) {
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", Paced("\r\n" + NoCrBytes(4000)));
    EXPECT_EQ(RC_OVERFLOW, module.Inquiry(-1));
    ASSERT_TRUE(peer.WaitDrained(kReplyMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Answer("+++\r", Paced(NoCrBytes(4000)));
    EXPECT_EQ(RC_OVERFLOW, module.Escape(-1));
}

TEST_F(UntrustedReply, FloodEndsTheTransactionAndTheNextOneWorks) {
    // The receive ring drops what the reader cannot store: while the
    // transaction reads, each part of the flood waits until the ring has room
    // for it, so that a starved test thread cannot lose the bytes that make
    // it overflow. Once it ended, the rest floods in at once.
    constexpr size_t kPart = 512;
    constexpr size_t kMayWait = CRxBuffer::kCapacity - kPart;
    // Shared with the peer's writer, which may outlive a failed assertion.
    struct Progress {
        std::atomic<bool> ended{false};
        std::atomic<uint64_t> base{0};
    };
    const auto progress = std::make_shared<Progress>();
    const std::string flood = NoCrBytes(64 * 1024);
    std::vector<Chunk> chunks;
    for (size_t i = 0; i < flood.size(); i += kPart) {
        chunks.emplace_back(flood.substr(i, kPart), 0, [this, progress, i] {
            if (i == 0) {
                progress->base.store(ControlProbe::BytesTaken(module));
                return true;
            }
            return progress->ended.load() ||
                   ControlProbe::BytesTaken(module) - progress->base.load() + kMayWait >= i;
        });
    }
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r", chunks);
    EXPECT_EQ(RC_OVERFLOW, module.Inquiry(-1));
    progress->ended.store(true);
    // The flood's tail must not run into the next reply.
    ASSERT_TRUE(peer.WaitDrained(20000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    peer.Answer("AT+BTMODE,1\r", {kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 1));
}

TEST_F(UntrustedReply, StreamOfLoneLineFeedsEndsByTimeOutOnceItStops) {
    peer.Answer("AT+BTMODE,1\r", {Repeat('\n', 8 * 1024)});
    EXPECT_EQ(RC_TIMEOUT, module.SetOpMode(kShortMs, 1));
}

} // namespace
} // namespace norva::test
