// norvactl pair against scripted modules: replies no simulated unit sends,
// and what an interrupt leaves behind in the module, byte for byte.

#include "NorvactlRun.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace norva {
namespace {

using test::Chunk;
using test::Contains;
using test::kRunMs;
using test::kWaitMs;
using test::Norvactl;
using test::ScriptedPeer;
using test::ToolProcess;
using test::ToolRun;

constexpr const char* kOk = "\r\nOK\r\n";
constexpr const char* kUnit1 = "00A0961B2C01";
constexpr const char* kUnit2 = "00A0961B2C02";

// A unit that answers the checks as an idle module with `address`.
void AnswerStatus(ScriptedPeer& peer, const std::string& address) {
    peer.Answer("AT\r", {kOk}, -1);
    peer.Answer("AT+BTINFO?\r",
                {Chunk("\r\n" + address + ",Norva-BX,MODE0,STANDBY,0,0,HWFC\r\n" + kOk)}, -1);
}

std::vector<std::string> PairArgs(const ScriptedPeer& unit1, const ScriptedPeer& unit2) {
    return {NORVACTL_PATH, "pair", "--unit1", unit1.Path(), "--unit2", unit2.Path()};
}

// A reply that overflows what the module may send could not be read: that
// is "no answer" (exit 4), as for a silent unit, for the status and the scan.
TEST(PairReplies, AnOverflowingStatusOrScanReplyIsNoAnswer) {
    const std::string junk(1500, 'x');
    {
        ScriptedPeer unit1;
        ScriptedPeer unit2;
        unit1.Answer("AT\r", {kOk}, -1);
        unit1.Answer("AT+BTINFO?\r", {Chunk(junk)}, -1);
        const ToolRun run = Norvactl({"pair", "--unit1", unit1.Path(), "--unit2", unit2.Path()});
        EXPECT_EQ(run.exitCode, 4) << run.err;
        EXPECT_TRUE(Contains(run.out, "step 1:")) << run.out;
    }
    {
        ScriptedPeer unit1;
        ScriptedPeer unit2;
        AnswerStatus(unit1, kUnit1);
        unit1.Answer("AT+BTSCAN,3,3000\r", {Chunk(junk.substr(0, 40))}, -1);
        const ToolRun run = Norvactl({"pair", "--unit1", unit1.Path(), "--unit2", unit2.Path()});
        EXPECT_EQ(run.exitCode, 4) << run.err;
        EXPECT_TRUE(Contains(run.out, "step 2:")) << run.out;
    }
}

// Ctrl-C while unit 1 has not confirmed its scan: the run ends with 130 and
// the module is told to stop scanning before the port closes.
TEST(PairReplies, AnInterruptedScanIsCancelledInTheModule) {
    ScriptedPeer unit1;
    ScriptedPeer unit2;
    AnswerStatus(unit1, kUnit1);
    unit1.Answer("AT+BTSCAN,3,3000\r", {}, 1);
    unit1.Answer("AT+BTCANCEL\r", {kOk}, -1);
    ToolProcess p(PairArgs(unit1, unit2));
    ASSERT_TRUE(unit1.WaitForReceived("AT+BTSCAN,3,3000\r", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(unit1.WaitForReceived("AT+BTCANCEL\r", kWaitMs)) << unit1.Received();
}

// Ctrl-C while unit 2 dials unit 1: the dial is cancelled in the module.
TEST(PairReplies, AnInterruptedConnectIsCancelledInTheModule) {
    ScriptedPeer unit1;
    ScriptedPeer unit2;
    AnswerStatus(unit1, kUnit1);
    unit1.Answer("AT+BTSCAN,3,3000\r", {kOk});
    AnswerStatus(unit2, kUnit2);
    unit2.Answer("ATS24=10\r", {kOk});
    unit2.Answer("AT+BTINQ?\r",
                 {Chunk(std::string("\r\n") + kUnit1 + ",Norva-BX01,001F00\r\n" + kOk)});
    unit2.Answer(std::string("ATD") + kUnit1 + "\r", {kOk});
    unit2.Answer("AT+BTCANCEL\r", {kOk}, -1);
    ToolProcess p(PairArgs(unit1, unit2));
    ASSERT_TRUE(unit2.WaitForReceived(std::string("ATD") + kUnit1 + "\r", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(unit2.WaitForReceived("AT+BTCANCEL\r", kWaitMs)) << unit2.Received();
    for (const std::string& command : unit2.Commands()) {
        EXPECT_EQ(command.find("AT+BTMODE"), std::string::npos) << command;
    }
}

} // namespace
} // namespace norva
