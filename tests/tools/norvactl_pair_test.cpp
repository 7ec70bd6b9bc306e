// norvactl pair against norva-sim: the nine steps without a screen, on two
// ports and on one, with the starts and faults the field brings.

#include "NorvactlRun.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

namespace norva {
namespace {

using test::Contains;
using test::kRunMs;
using test::kWaitMs;
using test::Norvactl;
using test::ToolProcess;
using test::ToolRun;

class PairTest : public ::testing::Test {
protected:
    void Start() {
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
    }
    void TearDown() override {
        if (simulator) {
            simulator->Stop();
        }
    }
    std::vector<std::string> TwoPorts(std::vector<std::string> more = {}) const {
        std::vector<std::string> args = {"pair", "--unit1", simulator->DevicePath(1), "--unit2",
                                         simulator->DevicePath(2)};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    bool Paired() const { return simulator->GetVerdict().wouldAutoConnect; }
    // norvactl's arguments as a child's command line.
    static std::vector<std::string> Command(std::vector<std::string> args) {
        args.insert(args.begin(), NORVACTL_PATH);
        return args;
    }

    sim::SimOptions options;
    std::unique_ptr<sim::Simulator> simulator;
};

TEST_F(PairTest, TwoPortsPairAndTheReportNamesBothUnitsAndWhatWasStored) {
    Start();
    const ToolRun run = Norvactl(TwoPorts({"--uart", "115200,even,2,noflow", "--json"}));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (int step = 1; step <= 9; ++step) {
        EXPECT_TRUE(Contains(run.err, "step " + std::to_string(step) + " of 9: ")) << run.err;
    }
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["command"], "pair");
    EXPECT_EQ(report["ok"], true);
    const nlohmann::json& pair = report["pairs"][0];
    EXPECT_EQ(pair["unit1"]["address"], "00A0961B2C01");
    EXPECT_EQ(pair["unit1"]["name"], "Norva-BX01");
    EXPECT_EQ(pair["unit2"]["address"], "00A0961B2C02");
    EXPECT_EQ(pair["unit1"]["stored"]["mode"], 2);
    EXPECT_EQ(pair["unit2"]["stored"]["mode"], 1);
    EXPECT_EQ(pair["unit2"]["stored"]["baud"], 115200);
    EXPECT_EQ(pair["unit2"]["stored"]["parity"], "even");
    EXPECT_EQ(pair["unit2"]["stored"]["flow_control"], false);
    EXPECT_TRUE(Paired()) << simulator->GetVerdict().Describe();
    EXPECT_EQ(sim::DescribeUart(simulator->Snapshot(1).stored), "115200,E,2,NoFC");
}

// The wizard's recoveries, through the same flow: a unit left discoverable,
// a pair still linked, a unit with its result codes off, a pair configured
// before (unit 2 links by itself at step 3).
TEST_F(PairTest, StartsThatNeedARecoveryStillPair) {
    struct Case {
        const char* what;
        void (*set)(sim::SimOptions&);
    };
    const Case cases[] = {
        {"pending", [](sim::SimOptions& o) { o.unit[0].startPending = true; }},
        {"connected",
         [](sim::SimOptions& o) { o.unit[0].startConnected = o.unit[1].startConnected = true; }},
        {"S10=0", [](sim::SimOptions& o) { o.unit[1].responsesOff = true; }},
        {"paired before", [](sim::SimOptions& o) { o.startPaired = true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        options = {};
        c.set(options);
        Start();
        const ToolRun run = Norvactl(TwoPorts());
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_TRUE(Paired()) << simulator->GetVerdict().Describe();
        simulator->Stop();
        simulator.reset();
    }
}

TEST_F(PairTest, OldFirmwareKeepsFlowControlSoNoFlowIsNotReportedAsStored) {
    options.unit[1].oldFirmware = true;
    Start();
    const ToolRun refused = Norvactl(TwoPorts({"--uart", "9600,none,1,noflow", "--json"}));
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    const nlohmann::json report = nlohmann::json::parse(refused.out);
    EXPECT_EQ(report["pairs"][0]["step"], 7);
    EXPECT_TRUE(report["pairs"][0]["unit2"]["stored"].is_null());
    EXPECT_TRUE(
        Contains(report["error"].get<std::string>(), "cannot turn hardware flow control off"))
        << refused.out;
    // The report names what the unit holds now: flow control on.
    const ToolRun text = Norvactl(TwoPorts({"--uart", "9600,none,1,noflow"}));
    EXPECT_TRUE(Contains(text.out, "stored UART 9600,none,1,flow and mode 1, not as asked"))
        << text.out;
    // With flow control kept the old unit stores the short form and pairs.
    const ToolRun kept = Norvactl(TwoPorts());
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_TRUE(Paired());
}

TEST_F(PairTest, AWrongLineSettingIsNoAnswerAndTheRightOnePairs) {
    options.unit[0].uart = {19200, 'N', 1, true};
    Start();
    const ToolRun wrong = Norvactl(TwoPorts());
    EXPECT_EQ(wrong.exitCode, 4) << wrong.err;
    EXPECT_TRUE(Contains(wrong.err, "step 1: Communication with Norva-BX was failed")) << wrong.err;
    EXPECT_TRUE(Contains(wrong.err, "--unit1-line")) << wrong.err;
    const ToolRun right = Norvactl(TwoPorts({"--unit1-line", "19200,none,1"}));
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_TRUE(Paired());
}

TEST_F(PairTest, OnePortWaitsForTheOtherUnitOnTheCable) {
    options.follow = true;
    options.onePort = true;
    Start();
    const ToolRun run =
        Norvactl({"pair", "--port", simulator->DevicePath(1), "--wait-unit", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "waiting up to 300 s for unit 2")) << run.err;
    EXPECT_TRUE(Contains(run.err, "waiting up to 300 s for unit 1")) << run.err;
    EXPECT_TRUE(Paired());
}

// Without --wait-unit a person moves the cable and presses Enter; pressing it
// before moving the cable gets the wizard's "unit 1 again" and a new prompt.
TEST_F(PairTest, OnePortAsksForEnterAndAsksAgainWhileUnitOneIsStillThere) {
    options.onePort = true;
    Start();
    ToolProcess p({NORVACTL_PATH, "pair", "--port", simulator->DevicePath(1)}, {}, true);
    ASSERT_TRUE(p.WaitForError("move the cable to unit 2", kWaitMs));
    p.Input("\n");
    ASSERT_TRUE(p.WaitForError("trying again", kWaitMs));
    simulator->Attach(2);
    p.Input("\n");
    ASSERT_TRUE(p.WaitForError("move the cable back to unit 1", kRunMs));
    simulator->Attach(1);
    p.Input("\n");
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The wizard's words, with Enter where the wizard has its Next button.
    EXPECT_TRUE(Contains(run.err, "is Norva-BX01 (00A0961B2C01) again")) << run.err;
    EXPECT_TRUE(Contains(run.err, "then press Enter.")) << run.err;
    EXPECT_FALSE(Contains(run.err, "Next")) << run.err;
    EXPECT_TRUE(Contains(run.err, "keep unit 1 powered")) << run.err;
    EXPECT_TRUE(Contains(run.err, "keep unit 2 powered")) << run.err;
    EXPECT_TRUE(Paired());
}

// Interrupted after the cable went to unit 2: unit 1 cannot be reached, so
// the report says it was left discoverable, and unit 2 is not told to cancel.
TEST_F(PairTest, AnInterruptWithTheCableOnUnitTwoSaysUnitOneIsStillDiscoverable) {
    options.onePort = true;
    Start();
    ToolProcess p({NORVACTL_PATH, "pair", "--port", simulator->DevicePath(1)}, {}, true);
    ASSERT_TRUE(p.WaitForError("move the cable to unit 2", kWaitMs));
    simulator->Attach(2);
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_TRUE(Contains(run.out, "left discoverable: 00A0961B2C02 answers on " +
                                      simulator->DevicePath(1) + " (the cable is on another unit)"))
        << run.out;
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Pending);
    EXPECT_NE(simulator->Snapshot(2).lastCommand, "AT+BTCANCEL");
}

// Nobody moves the cable: the wait ends with the unit it was for, as a unit
// that does not answer.
TEST_F(PairTest, WaitingForAUnitThatNeverComesNamesItAndIsNoAnswer) {
    options.onePort = true;
    Start();
    const ToolRun run =
        Norvactl({"pair", "--port", simulator->DevicePath(1), "--wait-unit", "--wait-time", "2"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_TRUE(Contains(run.out, "step 3: unit 2 did not answer on " + simulator->DevicePath(1) +
                                      " within 2 s (check unit 2's power"))
        << run.out;
    EXPECT_TRUE(Contains(run.err, "keep unit 1 powered")) << run.err;
}

TEST_F(PairTest, OnePortWithoutAPersonEndsAtTheFirstCableMove) {
    options.onePort = true;
    Start();
    const ToolRun run = Norvactl({"pair", "--port", simulator->DevicePath(1)});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "standard input ended")) << run.err;
    EXPECT_TRUE(Contains(run.out, "not paired: step 3")) << run.out;
}

// Ctrl-C during the search: the search is cancelled, nothing is stored, and
// unit 1, made discoverable at step 2, is taken out of it before the exit.
TEST_F(PairTest, InterruptEndsTheRunWithNothingStoredAndUnitOneNotDiscoverable) {
    options.timing.inquiryMs = 20000;
    Start();
    ToolProcess p(Command(TwoPorts()));
    ASSERT_TRUE(p.WaitForError("step 3 of 9", kWaitMs));
    p.Signal(SIGINT);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(simulator->Snapshot(2).mode, 0);
    EXPECT_EQ(simulator->Snapshot(2).link, sim::LinkState::Standby);
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Standby);
    EXPECT_EQ(simulator->Snapshot(1).lastCommand, "AT+BTCANCEL");
    EXPECT_TRUE(Contains(run.out, "unit 1: " + simulator->DevicePath(1) +
                                      " 00A0961B2C01 (Norva-BX01), not configured, taken out of "
                                      "discoverable mode"))
        << run.out;
}

// A unit 2 port that cannot be had stops the run before unit 1 hears a
// thing: nothing is left discoverable by a typing mistake.
TEST_F(PairTest, AUnitTwoPortThatCannotBeOpenedStopsTheRunBeforeAnyCommand) {
    Start();
    const std::string missing = "/dev/norva-no-such-port";
    const ToolRun run = Norvactl({"pair", "--unit1", simulator->DevicePath(1), "--unit2", missing});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_TRUE(Contains(run.err, "unit 2's port " + missing + " cannot be opened")) << run.err;
    EXPECT_TRUE(Contains(run.err, "nothing was sent to either unit")) << run.err;
    EXPECT_EQ(simulator->Snapshot(1).commands, 0);
    EXPECT_EQ(simulator->Snapshot(1).link, sim::LinkState::Standby);
}

// A unit that takes the mode and refuses the UART setting: the report says
// which half it kept, and that unit 1 is no longer discoverable (linked).
TEST_F(PairTest, AFailedStoreReportsWhatEachUnitWasLeftWith) {
    options.unit[1].refuseUart = true;
    Start();
    const ToolRun run = Norvactl(TwoPorts({"--json"}));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const nlohmann::json pair = nlohmann::json::parse(run.out)["pairs"][0];
    EXPECT_EQ(pair["step"], 7) << run.out;
    EXPECT_EQ(pair["unit2"]["state"]["mode_stored"], true) << run.out;
    EXPECT_EQ(pair["unit2"]["state"]["uart_stored"], false) << run.out;
    EXPECT_EQ(pair["unit1"]["state"]["mode_stored"], false) << run.out;
    EXPECT_EQ(pair["unit1"]["state"]["discoverable"], false) << run.out;
    EXPECT_EQ(simulator->Snapshot(2).mode, 1);

    simulator->Stop();
    Start();
    const ToolRun text = Norvactl(TwoPorts());
    EXPECT_TRUE(Contains(text.out, "stored mode 1, UART not stored")) << text.out;
}

TEST_F(PairTest, AnUnpluggedUnitEndsTheRunWithThePortFailure) {
    options.timing.inquiryMs = 20000;
    Start();
    ToolProcess p(Command(TwoPorts()));
    ASSERT_TRUE(p.WaitForError("step 3 of 9", kWaitMs));
    simulator->Unplug(2);
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_TRUE(Contains(run.err, "The connection to Norva-BX was lost")) << run.err;

    // Unplugged while it searches: the search's count and a dial would be lies.
    simulator->Stop();
    Start();
    ToolProcess searching(Command(TwoPorts()));
    ASSERT_TRUE(searching.WaitForError("step 3 of 9: unit 2", kWaitMs));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (simulator->Snapshot(2).lastCommand != "AT+BTINQ?") {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the search never started";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    simulator->Unplug(2);
    const ToolRun gone = searching.Finish(kRunMs);
    EXPECT_EQ(gone.exitCode, 3) << gone.err;
    EXPECT_FALSE(Contains(gone.err, "dialling")) << gone.err;
    EXPECT_EQ(test::CountOf(gone.out + gone.err, "was disconnected"), 2u) << gone.out << gone.err;
}

// Proof after storing: both units restart and announce the link to each
// other; a partner switched off meanwhile is no proof, and the run fails.
TEST_F(PairTest, VerifyRestartsTheUnitsAndReportsTheLinkOrWhyNot) {
    Start();
    const ToolRun verified = Norvactl(TwoPorts({"--verify", "--json"}));
    ASSERT_EQ(verified.exitCode, 0) << verified.err;
    const nlohmann::json pair = nlohmann::json::parse(verified.out)["pairs"][0];
    EXPECT_EQ(pair["verified"], true);
    EXPECT_TRUE(Contains(pair["verify_detail"].get<std::string>(), "linked with 00A0961B2C02"))
        << pair.dump();

    ToolProcess p(Command(TwoPorts({"--verify"})));
    ASSERT_TRUE(p.WaitForError("verifying", kRunMs));
    ASSERT_TRUE(simulator->SetPower(2, false));
    const ToolRun run = p.Finish(kRunMs);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(
        Contains(run.out, "not paired: step 9: both units were configured, but Not verified"))
        << run.out;
}

TEST(PairCommandLine, OptionsThatCannotPairAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"pair"},
        {"pair", "--unit1", "COM3"},
        {"pair", "--unit1", "COM3", "--unit2", "COM3"},
        {"pair", "--unit1", "COM3", "--unit2", "COM4", "--port", "COM5"},
        {"pair", "--port", "COM3", "--uart", "9600,odd,1"},
        {"pair", "--port", "COM3", "--uart", "9601,none,1"},
        {"pair", "--port", "COM3", "--unit1-line", "9600,none"},
        {"pair", "--port", "COMX"},
        {"pair", "--batch", "/nonexistent/pairs.txt"},
        {"pair", "--port", "COM3", "--wait-time", "5"},
    };
    for (const std::vector<std::string>& args : bad) {
        const ToolRun run = Norvactl(args);
        EXPECT_EQ(run.exitCode, 2) << args.back() << "\n" << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

} // namespace
} // namespace norva
