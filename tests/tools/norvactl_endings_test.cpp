// How a norvactl run ends when it cannot finish its command: the device goes
// away, a signal arrives, or the module stays silent.

#include "NorvactlRun.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

namespace norva {
namespace {

using test::Contains;
using test::CountOf;
using test::kRunMs;
using test::kWaitMs;
using test::Norvactl;
using test::ScriptedPeer;
using test::ToolProcess;
using test::ToolRun;

const char* const kOk = "\r\nOK\r\n";
const char* const kConnectedStatus =
    "\r\n0012A1000001,Norva-BX01,MODE0,CONNECT,0,0,HWFC\r\n\r\nOK\r\n";

struct GoneCase {
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> answers;
    // The line is pulled once the module has received this.
    std::string pullOn;
    bool json = false;
};

// The unplug is reported once, as itself, whatever the command was waiting
// for: a reply, a search, a chained job.
TEST(NorvactlDeviceGone, EveryCommandReportsTheUnplugOnceAndExitsThree) {
    const std::vector<GoneCase> cases = {
        {{"inquiry"}, {{"ATS24=10\r", kOk}}, "AT+BTINQ?\r"},
        {{"scan"}, {}, "AT+BTSCAN,3,3000\r"},
        {{"connect", "00:12:A1:00:00:09"}, {}, "ATD0012A1000009\r"},
        {{"status", "--json"}, {}, "AT\r", true},
        // Between the status job and the disconnect job.
        {{"disconnect"}, {{"AT\r", kOk}, {"AT+BTINFO?\r", kConnectedStatus}}, "ATO\r"},
    };
    for (const GoneCase& c : cases) {
        ScriptedPeer peer;
        ASSERT_TRUE(peer.Ok());
        for (const auto& [command, reply] : c.answers) {
            peer.Answer(command, {reply});
        }
        std::vector<std::string> args{NORVACTL_PATH, "--device", peer.Path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ToolProcess p(args);
        ASSERT_TRUE(p.Started());
        ASSERT_TRUE(peer.WaitForReceived(c.pullOn, kWaitMs)) << c.args[0];
        peer.CloseMaster();
        const ToolRun run = p.Finish(kRunMs);

        const std::string reason = peer.Path() + " was disconnected (";
        EXPECT_EQ(run.exitCode, 3) << c.args[0] << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, "norvactl: " + reason)) << c.args[0] << "\n" << run.err;
        EXPECT_EQ(CountOf(run.err, "was disconnected"), 1u) << c.args[0] << "\n" << run.err;
        EXPECT_FALSE(Contains(run.err, "did not answer")) << c.args[0] << "\n" << run.err;
        if (c.json) {
            EXPECT_TRUE(Contains(run.out, "\"exit\":3,\"error\":\"" + reason)) << run.out;
        } else {
            EXPECT_TRUE(Contains(run.out, "RC_DEVICE_GONE (11)")) << c.args[0] << "\n" << run.out;
        }
    }
}

// A shell reports a death by a signal as 128 + its number; norvactl ends the
// same way after it has aborted and cancelled the search.
TEST(NorvactlSignals, TerminationSignalsEndWithTheirShellStatus) {
    for (const auto& [sig, status] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        ScriptedPeer peer;
        ASSERT_TRUE(peer.Ok());
        peer.Answer("ATS24=10\r", {kOk});
        peer.Answer("AT+BTCANCEL\r", {kOk});
        ToolProcess p({NORVACTL_PATH, "inquiry", "--json", "--device", peer.Path()});
        ASSERT_TRUE(p.Started());
        ASSERT_TRUE(peer.WaitForReceived("AT+BTINQ?\r", kWaitMs));
        p.Signal(sig);
        const ToolRun run = p.Finish(kRunMs);
        EXPECT_EQ(run.exitCode, status) << run.err;
        EXPECT_TRUE(Contains(run.out, "\"exit\":" + std::to_string(status))) << run.out;
        EXPECT_EQ(peer.Commands().back(), "AT+BTCANCEL\r");
    }
}

// However long the scan was to last, a module that never confirms it is
// reported as silent within the time of any other command.
TEST(NorvactlModule, SilentScanEndsAsNoAnswer) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    const ToolRun run = Norvactl({"scan", "--device", peer.Path(), "--time", "3000"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_TRUE(Contains(run.out, "result: RC_TIMEOUT (4)")) << run.out;
    EXPECT_TRUE(Contains(run.err, "did not answer")) << run.err;
}

} // namespace
} // namespace norva
