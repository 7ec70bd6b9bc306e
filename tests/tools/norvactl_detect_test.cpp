// `norvactl detect` as a user runs it against norva-sim: the setting printed
// is the one to pass back, a wrong guess fails where the detected one works,
// and every outcome keeps the exit codes and the JSON keys of the others.

#include "NorvactlRun.h"
#include "platform/SerialDevice.h"
#include "sim/Simulator.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace norva {
namespace {

using test::Contains;
using test::kRunMs;
using test::kWaitMs;
using test::Norvactl;
using test::ScriptedPeer;
using test::ToolProcess;
using test::ToolRun;

std::unique_ptr<sim::Simulator> StartUnit(const sim::UartSetting& uart, bool silent = false) {
    sim::SimOptions options;
    options.unit[0].uart = uart;
    options.unit[0].silent = silent;
    auto simulator = std::make_unique<sim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

TEST(NorvactlDetect, PrintsTheOptionsThatMakeAWrongGuessWork) {
    auto simulator = StartUnit({57600, 'N', 2, true});
    const std::string path = simulator->DevicePath(1);
    const ToolRun guess = Norvactl({"status", "--device", path});
    EXPECT_EQ(guess.exitCode, 4) << guess.err;

    const ToolRun found = Norvactl({"detect", "--device", path});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    // The second line is the form pair's --line, --unit1-line and --unit2-line take.
    EXPECT_EQ(found.out, "--baud 57600 --parity none --stop 2\n--line 57600,none,2\n");
    EXPECT_TRUE(found.err.empty()) << found.err;

    std::vector<std::string> args = {"status", "--device", path};
    for (const std::string& w : Words(found.out.substr(0, found.out.find('\n')))) {
        args.push_back(w);
    }
    const ToolRun status = Norvactl(args);
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_TRUE(Contains(status.out, "result: STATUS_READ (1)")) << status.out;
}

TEST(NorvactlDetect, JsonCarriesTheSettingOrWhyThereIsNone) {
    auto simulator = StartUnit({19200, 'E', 1, true});
    const ToolRun found = Norvactl({"detect", "--json", "--device", simulator->DevicePath(1)});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    const auto j = nlohmann::json::parse(found.out);
    EXPECT_EQ(j["command"], "detect");
    EXPECT_EQ(j["setting"]["baud"], 19200);
    // A pty carries no parity: Even is reported as None, the first tried.
    EXPECT_EQ(j["setting"]["parity"], "none");
    EXPECT_EQ(j["setting"]["stop"], 1);
    EXPECT_EQ(j["setting"]["tried"], 5);
    EXPECT_EQ(j["setting"]["line"], "19200,none,1");
    EXPECT_TRUE(j["result"].is_null());

    auto silent = StartUnit({9600, 'N', 1, true}, true);
    const ToolRun none = Norvactl({"detect", "--json", "--device", silent->DevicePath(1)});
    EXPECT_EQ(none.exitCode, 4) << none.err;
    const auto n = nlohmann::json::parse(none.out);
    EXPECT_TRUE(n["setting"].is_null());
    EXPECT_FALSE(n["ok"]);
    EXPECT_TRUE(Contains(n["error"].get<std::string>(), "no setting answered")) << none.out;

    const ToolRun missing = Norvactl({"detect", "--json", "--device", "/nonexistent/ttyNorva0"});
    EXPECT_EQ(missing.exitCode, 3) << missing.err;
    EXPECT_TRUE(Contains(missing.err, "Serial port open failed.")) << missing.err;
    EXPECT_TRUE(nlohmann::json::parse(missing.out)["setting"].is_null());
}

TEST(NorvactlDetect, TakesNoLineSettingsOfItsOwn) {
    const ToolRun run = Norvactl({"detect", "--device", "/dev/x", "--baud", "9600"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Contains(run.err, "--baud")) << run.err;
}

TEST(NorvactlDetect, CtrlCEndsTheSearchAndFreesThePort) {
    ScriptedPeer peer; // never answers
    ASSERT_TRUE(peer.Ok());
    ToolProcess p({NORVACTL_PATH, "detect", "--device", peer.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(peer.WaitForReceived("AT\r", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Contains(run.err, "norvactl: interrupted")) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    SerialDevice device;
    OsError error;
    EXPECT_TRUE(device.Open(peer.Path(), LineSettings{}, &error)) << error.reason;
}

} // namespace
} // namespace norva
