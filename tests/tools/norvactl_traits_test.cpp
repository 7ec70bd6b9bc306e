// `norvactl traits` against norva-sim units that make the open choices one
// way or the other: what it reports is what the unit does, nothing stored in
// the unit changes, and a mode stored to probe the status goes back.

#include "NorvactlRun.h"
#include "sim/Simulator.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace norva {
namespace {

using test::Contains;
using test::kRunMs;
using test::kWaitMs;
using test::Norvactl;
using test::ScriptedPeer;
using test::ToolProcess;
using test::ToolRun;

std::unique_ptr<sim::Simulator> StartUnit(const sim::UnitOptions& unit) {
    sim::SimOptions options;
    options.unit[0] = unit;
    auto simulator = std::make_unique<sim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

// What the unit keeps over a power cycle.
std::string Stored(const sim::UnitSnapshot& s) {
    return "mode " + std::to_string(s.mode) + ", UART " + sim::DescribeUart(s.stored) + ", S10 " +
           std::to_string(s.s10) + ", S24 " + std::to_string(s.s24) + ", peer '" + s.peer + "'";
}

TEST(NorvactlTraits, ReportsWhatTheUnitDoesAndChangesNothingStored) {
    struct Case {
        const char* what;
        sim::UnitOptions unit;
        nlohmann::json traits;
    };
    sim::UnitOptions old;
    old.echo = true;
    old.oldFirmware = true;
    old.idleWord = sim::IdleWord::Idle;
    old.startMode = 3;
    const Case cases[] = {
        {"echo on, old firmware",
         old,
         {{"echo", "line"},
          {"result_codes", true},
          {"s10", "1"},
          {"status_fields", 6},
          {"idle_word", "IDLE"},
          {"uart_3_args", true},
          // No flow control shown: nothing to send the long form with.
          {"uart_4_args", nullptr}}},
        {"defaults",
         {},
         {{"echo", "none"},
          {"result_codes", true},
          {"s10", "1"},
          {"status_fields", 7},
          {"idle_word", "STANDBY"},
          {"uart_3_args", true},
          {"uart_4_args", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto simulator = StartUnit(c.unit);
        const std::string before = Stored(simulator->Snapshot(1));
        const ToolRun run = Norvactl({"traits", "--json", "--device", simulator->DevicePath(1)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json j = nlohmann::json::parse(run.out);
        const nlohmann::json& t = j["traits"];
        for (const auto& item : c.traits.items()) {
            EXPECT_EQ(t[item.key()], item.value()) << item.key() << " in " << run.out;
        }
        // The restart is counted from ATZ to an answer within the bound.
        ASSERT_TRUE(t["restart_ms"].is_number_integer()) << run.out;
        EXPECT_GT(t["restart_ms"].get<int>(), 0);
        EXPECT_LE(t["restart_ms"].get<int>(), 5000);
        EXPECT_TRUE(t["new_mode_shows"].is_null());
        EXPECT_TRUE(t["probe"].is_null());
        EXPECT_EQ(j["status"]["mode"], c.unit.startMode);
        EXPECT_EQ(simulator->Snapshot(1).restarts, 1);
        EXPECT_EQ(Stored(simulator->Snapshot(1)), before);
    }

    auto simulator = StartUnit({});
    const ToolRun text = Norvactl({"traits", "--device", simulator->DevicePath(1)});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_TRUE(Contains(text.out, "echo: none\nresult-codes: on (S10 = 1)\nrestart: "))
        << text.out;
    EXPECT_TRUE(Contains(text.out, "\nuart-3-args: accepted\nuart-4-args: accepted\n"
                                   "new-mode-shows: not measured (--probe-settings measures it)\n"))
        << text.out;
}

TEST(NorvactlTraits, ProbeSettingsStoresTheOriginalModeBack) {
    sim::UnitOptions inForce;
    inForce.statusMode = sim::StatusShows::InForce;
    inForce.startMode = 2;
    const struct {
        sim::UnitOptions unit;
        const char* shows;
        int probed;
    } cases[] = {{{}, "at-once", 3}, {inForce, "after-restart", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shows);
        auto simulator = StartUnit(c.unit);
        const ToolRun run = Norvactl(
            {"traits", "--probe-settings", "--json", "--device", simulator->DevicePath(1)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json t = nlohmann::json::parse(run.out)["traits"];
        EXPECT_EQ(t["new_mode_shows"], c.shows) << run.out;
        const int original = c.unit.startMode;
        EXPECT_EQ(t["probe"], nlohmann::json({{"stored_mode", c.probed},
                                              {"original_mode", original},
                                              {"restored", true},
                                              {"restore", nullptr}}))
            << run.out;
        EXPECT_TRUE(Contains(run.err, "operation mode " + std::to_string(c.probed) +
                                          " was stored for the measurement, and mode " +
                                          std::to_string(original) + " again after it"))
            << run.err;
        EXPECT_EQ(simulator->Snapshot(1).mode, original);
        EXPECT_EQ(simulator->Snapshot(1).lastCommand, "AT+BTMODE," + std::to_string(original));
    }
}

// The unit goes away after the probing mode was sent and before it was
// stored back: the user is told the command that stores it back.
TEST(NorvactlTraits, ARunCutBetweenStoreAndRestoreNamesTheCommandThatRestores) {
    const std::string kOk = "\r\nOK\r\n";
    ScriptedPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.Answer("AT\r", {kOk});
    peer.Answer("ATS10?\r", {"\r\n1\r\n" + kOk});
    peer.Answer("AT\r", {}); // deaf after ATZ
    peer.Answer("AT\r", {kOk}, -1);
    peer.Answer("AT+BTINFO?\r", {"\r\n0012A1000001,Unit,MODE0,STANDBY,0,0,HWFC\r\n" + kOk}, -1);
    peer.Answer("AT+UARTCONFIG,19200,E,2\r", {kOk});
    peer.Answer("AT+UARTCONFIG,19200,E,2,1\r", {kOk});
    ToolProcess p({NORVACTL_PATH, "traits", "--probe-settings", "--device", peer.Path(), "--baud",
                   "19200", "--parity", "even", "--stop", "2"});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(peer.WaitForReceived("AT+BTMODE,3\r", kWaitMs)) << peer.Received();
    peer.CloseMaster();
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_TRUE(
        Contains(run.err, "operation mode 3, stored for the measurement, may still be in "
                          "the unit; store mode 0 back with: norvactl set-mode 0 --device " +
                              peer.Path() + " --baud 19200 --parity even --stop 2\n"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "was disconnected")) << run.err;
}

} // namespace
} // namespace norva
