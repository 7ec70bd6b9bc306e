// norvactl as a user runs it: a child process against simulated modules and
// scripted peers on real pseudo-terminals.

#include "NorvactlRun.h"
#include "sim/Simulator.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>
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

TEST(NorvactlCommandLine, BadInputGivesUsageStatusAndOneLineReason) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"status"},                                          // no port
        {"status", "--port", "COM1", "--device", "/dev/x"},  // both
        {"status", "--device", "/dev/x", "--baud", "12345"}, // not a rate
        {"status", "--device", "/dev/x", "--parity", "mark"},
        {"status", "--device", "/dev/x", "--stop", "3"},
        {"connect", "--device", "/dev/x", "12:34"},
        {"set-mode", "--device", "/dev/x", "7"},
        {"set-uart", "--device", "/dev/x", "9600", "none"},
        // The module's command has no letter for odd: refused before the port opens.
        {"set-uart", "--device", "/dev/x", "9600", "odd", "1"},
        {"apply", "--device", "/dev/x", "--mode", "1", "--baud", "9600", "--parity", "O", "--stop",
         "1"},
        {"apply", "--device", "/dev/x", "--mode", "1"}, // UART values missing
        {"status", "--device", "/dev/x", "--mode", "1"},
        {"write-sreg", "--device", "/dev/x", "1", "65536"},
        {"status", "--device", "/dev/x", "--no-such-option"},
    };
    for (const auto& args : cases) {
        const ToolRun run = Norvactl(args);
        std::string line;
        for (const auto& a : args) {
            line += a + " ";
        }
        EXPECT_EQ(run.exitCode, 2) << line;
        EXPECT_TRUE(run.out.empty()) << line;
        EXPECT_EQ(run.err.rfind("norvactl: ", 0), 0u) << line << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << line << run.err;
    }
}

TEST(NorvactlCommandLine, HelpListsEveryCommand) {
    const ToolRun run = Norvactl({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* cmd :
         {"ports", "status", "probe", "escape", "cancel", "scan", "inquiry", "connect",
          "disconnect", "set-mode", "set-uart", "apply", "read-sreg", "write-sreg", "reset"}) {
        EXPECT_TRUE(Contains(run.out, std::string("\n  ") + cmd + " ")) << cmd;
    }
    const ToolRun apply = Norvactl({"apply", "--help"});
    EXPECT_EQ(apply.exitCode, 0);
    EXPECT_TRUE(Contains(apply.out, "--mode N --baud RATE"));
}

TEST(NorvactlPort, OpenFailureSaysWhyAndExitsThree) {
    const ToolRun run = Norvactl({"status", "--device", "/nonexistent/ttyNorva0"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(Contains(run.err, "Serial port open failed. ")) << run.err;
    EXPECT_GT(run.err.size(), std::string("norvactl: Serial port open failed. \n").size());

    const ToolRun json = Norvactl({"status", "--json", "--device", "/nonexistent/ttyNorva0"});
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_TRUE(Contains(json.out, "\"ok\":false")) << json.out;
    EXPECT_TRUE(Contains(json.out, "Serial port open failed.")) << json.out;
}

TEST(NorvactlPort, PortsListsMappedDevicesAndComNumbersOpenThem) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    const std::string env = "NORVAWIZARD_COM201=" + peer.Path();
    const ToolRun ports = Norvactl({"ports"}, {env});
    EXPECT_EQ(ports.exitCode, 0);
    EXPECT_TRUE(Contains(ports.out, "COM201 (" + peer.Path() + ")\n")) << ports.out;

    peer.Answer("AT\r", {"\r\nOK\r\n"});
    const ToolRun probe = Norvactl({"probe", "--port", "COM201"}, {env});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_TRUE(Contains(probe.out, "result: RC_OK (0)")) << probe.out;
}

// No port at all: what to do; a variable that names nothing: said once, by name.
TEST(NorvactlPort, PortsSaysWhereTheCableShowsUpAndNamesAVariableThatPointsAtNothing) {
    char dir[] = "/tmp/norva-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const ToolRun none = Norvactl({"ports"}, {std::string("NORVAWIZARD_SYSFS_ROOT=") + dir,
                                              "NORVAWIZARD_COM7=/nonexistent/norva-tty"});
    rmdir(dir);
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out.rfind("No serial port was found. Plug the USB-serial cable in: USB "
                             "adapters appear as COM33 and up",
                             0),
              0u)
        << none.out;
    EXPECT_EQ(test::CountOf(none.out, "\n"), 1u) << none.out;
    EXPECT_TRUE(Contains(none.out, "'dmesg' names the device")) << none.out;
    EXPECT_EQ(test::CountOf(none.err, "NORVAWIZARD_COM7 names /nonexistent/norva-tty, which does "
                                      "not exist."),
              1u)
        << none.err;
}

TEST(NorvactlModule, SilentModuleGetsTheSerialSettingsHint) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    const ToolRun run = Norvactl({"probe", "--device", peer.Path(), "--baud", "115200"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(Contains(run.out, "RC_TIMEOUT")) << run.out;
    EXPECT_TRUE(Contains(run.err, "UART setting")) << run.err;
    // The way out when the setting is not known, as pair says it.
    EXPECT_TRUE(Contains(run.err, "'norvactl detect' finds the setting it answers at")) << run.err;
}

TEST(NorvactlModule, ReadSRegisterPrintsTheValue) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.Answer("ATS24?\r", {"\r\n10\r\n\r\nOK\r\n"});
    const ToolRun run = Norvactl({"read-sreg", "--device", peer.Path(), "24"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "S24: 10\n")) << run.out;

    peer.Answer("ATS24?\r", {"\r\nOK\r\n"});
    const ToolRun none = Norvactl({"read-sreg", "--json", "--device", peer.Path(), "24"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.out, "\"result_name\":\"RC_NO_VALUE\"")) << none.out;
}

// Ctrl-C must not leave the module searching: the inquiry is aborted and
// cancelled before the tool ends.
TEST(NorvactlModule, InterruptDuringInquiryAbortsAndCancels) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.Answer("ATS24=10\r", {"\r\nOK\r\n"});
    peer.Answer("AT+BTCANCEL\r", {"\r\nOK\r\n"});
    ToolProcess p({NORVACTL_PATH, "inquiry", "--device", peer.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(peer.WaitForReceived("AT+BTINQ?\r", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Contains(run.out, "RC_ABORTED")) << run.out;
    EXPECT_EQ(peer.Commands(),
              (std::vector<std::string>{"ATS24=10\r", "AT+BTINQ?\r", "AT+BTCANCEL\r"}));
}

// A command without a job runs on the tool's main thread while the worker
// idles; Ctrl-C still reaches its wait.
TEST(NorvactlModule, InterruptDuringADirectCommandAbortsIt) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    ToolProcess p({NORVACTL_PATH, "set-mode", "--device", peer.Path(), "1"});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(peer.WaitForReceived("AT+BTMODE,1\r", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Contains(run.out, "result: RC_ABORTED (5)")) << run.out;
}

TEST(NorvactlModule, InquiryTimeLimitEndsTheSearchLikeCancelSearch) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.Answer("ATS24=10\r", {"\r\nOK\r\n"});
    peer.Answer("AT+BTINQ?\r", {"\r\n0012A1000009,Desk \"lamp\",240404\r\n"});
    peer.Answer("AT+BTCANCEL\r", {"\r\nOK\r\n"});
    const ToolRun run =
        Norvactl({"inquiry", "--json", "--device", peer.Path(), "--timeout", "700"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "\"devices\":[{\"address\":\"0012A1000009\",\"name\":\"Desk "
                                  "\\\"lamp\\\"\",\"class\":\"240404\"}]"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "\"time_limit_reached\":true")) << run.out;
    EXPECT_EQ(peer.Commands().back(), "AT+BTCANCEL\r");
}

// Old firmware refuses the 4-argument UART command; apply falls back to the
// 3-argument form, and as the module reports no flow control there is no
// firmware note.
TEST(NorvactlPairing, ApplyOnOldFirmwareFallsBackToTheShortUartForm) {
    sim::SimOptions options;
    options.unit[0].oldFirmware = true;
    sim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;

    const ToolRun run = Norvactl({"apply", "--device", simulator.DevicePath(1), "--mode", "2",
                                  "--baud", "19200", "--parity", "even", "--stop", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "result: RC_DONE (6)")) << run.out;
    EXPECT_FALSE(Contains(run.err, "Firmware version")) << run.err;
    const sim::UnitSnapshot unit = simulator.Snapshot(1);
    EXPECT_EQ(unit.mode, 2);
    EXPECT_EQ(sim::DescribeUart(unit.stored), "19200,E,2,HWFC");
    simulator.Stop();
}

// A unit that answers OK but keeps its old mode or flow control looks, right
// after the apply, like a unit that shows new settings only after a restart:
// apply succeeds and says what the restart confirms. --verify restarts the
// unit and fails naming what its status shows there, in the JSON as well.
TEST(NorvactlPairing, ApplyVerifyFindsWhatTheUnitDidNotStore) {
    sim::SimOptions options;
    options.unit[0].keepMode = true;
    options.unit[1].keepFlow = true;
    sim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    const std::vector<std::string> mode2 = {"apply",  "--device", simulator.DevicePath(1),
                                            "--mode", "2",        "--baud",
                                            "9600",   "--parity", "none",
                                            "--stop", "1"};

    const ToolRun applied = Norvactl(mode2);
    EXPECT_EQ(applied.exitCode, 0) << applied.out << applied.err;
    EXPECT_TRUE(Contains(applied.out, "result: RC_DONE (6)")) << applied.out;
    EXPECT_TRUE(Contains(applied.err, "Confirmed at the next restart (Verify): UART 9600,N,1 "
                                      "and operation mode 2"))
        << applied.err;

    std::vector<std::string> verified = mode2;
    verified.insert(verified.end(), {"--verify", "--json"});
    const ToolRun mode = Norvactl(verified);
    EXPECT_EQ(mode.exitCode, 1) << mode.out << mode.err;
    EXPECT_TRUE(Contains(mode.out, "\"ok\":false")) << mode.out;
    EXPECT_TRUE(Contains(mode.out, "\"result_name\":\"RC_NOT_STORED\"")) << mode.out;
    EXPECT_TRUE(Contains(mode.err, "after a restart its status shows operation mode 0, not "
                                   "operation mode 2 as stored"))
        << mode.err;
    EXPECT_EQ(simulator.Snapshot(1).restarts, 1);

    const ToolRun flow =
        Norvactl({"apply", "--device", simulator.DevicePath(2), "--mode", "1", "--baud", "9600",
                  "--parity", "none", "--stop", "1", "--no-flow", "--verify"});
    EXPECT_EQ(flow.exitCode, 1) << flow.out << flow.err;
    EXPECT_TRUE(Contains(flow.out, "result: RC_NOT_STORED (12)")) << flow.out;
    EXPECT_TRUE(Contains(flow.err, "shows hardware flow control on, not hardware flow control "
                                   "off as stored"))
        << flow.err;
    EXPECT_FALSE(Contains(flow.err, "shows operation mode")) << flow.err;

    const ToolRun kept =
        Norvactl({"apply", "--device", simulator.DevicePath(2), "--mode", "1", "--baud", "9600",
                  "--parity", "none", "--stop", "1", "--verify"});
    EXPECT_EQ(kept.exitCode, 0) << kept.out << kept.err;
    EXPECT_TRUE(Contains(kept.err, "after a restart the status shows mode 1 and HWFC")) << kept.err;
    EXPECT_EQ(simulator.Snapshot(2).mode, 1);
    simulator.Stop();
}

// The whole pairing, one norvactl run per step, the way the wizard walks it:
// unit 1 scans, unit 2 searches and dials it, then both store their modes
// (unit 2 while still connected: the apply chain hangs up first).
TEST(NorvactlPairing, WholePairingRunEndsWithAutoConnectVerdict) {
    sim::SimOptions options;
    sim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    const std::string unit1 = simulator.DevicePath(1);
    const std::string unit2 = simulator.DevicePath(2);
    const std::string address1 = simulator.Snapshot(1).address;

    auto step = [](const std::vector<std::string>& args, const std::string& expect) {
        const ToolRun run = Norvactl(args);
        EXPECT_EQ(run.exitCode, 0) << args[0] << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out, expect)) << args[0] << "\n" << run.out;
        return run;
    };
    step({"status", "--device", unit1}, "link: standby");
    step({"scan", "--device", unit1}, "result: RC_OK (0)");
    step({"status", "--device", unit2}, "result: STATUS_READ (1)");
    const ToolRun found = step({"inquiry", "--device", unit2}, "result: RC_DONE (6)");
    EXPECT_TRUE(Contains(found.out, "device: " + address1)) << found.out;
    step({"connect", "--device", unit2, address1}, "result: RC_CONNECTED (2)");
    step({"apply", "--device", unit2, "--mode", "1", "--baud", "9600", "--parity", "none", "--stop",
          "1"},
         "result: RC_DONE (6)");
    step({"apply", "--device", unit1, "--mode", "2", "--baud", "9600", "--parity", "none", "--stop",
          "1"},
         "result: RC_DONE (6)");

    const sim::Verdict verdict = simulator.GetVerdict();
    EXPECT_TRUE(verdict.wouldAutoConnect) << verdict.Describe();
    EXPECT_TRUE(Contains(verdict.Describe(), "would auto-connect")) << verdict.Describe();

    // Powered again, the pair links up by itself; disconnect finds the link
    // through a status read, returns it online, escapes and hangs up.
    simulator.PowerCycle();
    step({"disconnect", "--device", unit2}, "result: RC_DISCONNECTED (3)");
    step({"disconnect", "--device", unit2}, "not connected (link: standby)");
    simulator.Stop();
}

} // namespace
} // namespace norva
