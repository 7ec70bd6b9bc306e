// norvactl pair --verify against every kind of module the simulator plays: on
// two ports and on one, the run ends with both units configured and the pair
// linking after a restart, and no message asks to store the settings again.
// The UART stored differs from the line the units answer at now, and flow
// control goes off, so that when and how those show matters.

#include "NorvactlRun.h"
#include "support/ModuleKinds.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace norva {
namespace {

using test::Contains;
using test::ModuleKind;
using test::Norvactl;
using test::ToolRun;

class PairEveryModule : public ::testing::TestWithParam<ModuleKind> {
protected:
    void Start(bool onePort) {
        options.timing.inquiryMs = 600;
        options.onePort = onePort;
        options.follow = onePort;
        test::SetKind(options, GetParam());
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
    }
    void TearDown() override {
        if (simulator) {
            simulator->Stop();
        }
    }
    // The run paired, verified and said nothing of storing again.
    void ExpectPairedAndVerified(const ToolRun& run, size_t units) {
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        const nlohmann::json pair = nlohmann::json::parse(run.out)["pairs"][0];
        EXPECT_EQ(pair["verified"], true) << pair.dump();
        EXPECT_EQ(test::CountOf(pair["verify_detail"].get<std::string>(), ": verified"), units)
            << pair.dump();
        EXPECT_FALSE(Contains(run.err, "store the settings again")) << run.err;
        EXPECT_FALSE(Contains(run.err, "not stored")) << run.err;
        EXPECT_TRUE(simulator->GetVerdict().wouldAutoConnect) << simulator->GetVerdict().Describe();
    }

    sim::SimOptions options;
    std::unique_ptr<sim::Simulator> simulator;
};

TEST_P(PairEveryModule, OnTwoPorts) {
    Start(false);
    char log[] = "/tmp/norva-kinds-log-XXXXXX";
    close(mkstemp(log));
    ExpectPairedAndVerified(
        Norvactl({"pair", "--unit1", simulator->DevicePath(1), "--unit2", simulator->DevicePath(2),
                  "--uart", "115200,none,1,noflow", "--verify", "--json", "--log", log}),
        2);
    // Verify's restarts are in the log, each on its own unit's port.
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    std::remove(log);
    for (int unit : {1, 2}) {
        EXPECT_TRUE(Contains(text.str(), simulator->DevicePath(unit) + " > \"ATZ\\r\""))
            << unit << text.str();
    }
}

// Unit 2 is off the cable at Verify: the run asks for its power cycle, and the test does it.
TEST_P(PairEveryModule, OnOnePort) {
    Start(true);
    test::ToolProcess p({NORVACTL_PATH, "pair", "--port", simulator->DevicePath(1), "--wait-unit",
                         "--uart", "57600,even,2,noflow", "--verify", "--json"});
    if (p.WaitForAnyError({"switch Norva-BX02 off and on", "erified: the pair"}, 120000) == 0) {
        simulator->SetPower(2, false);
        simulator->SetPower(2, true);
    }
    ExpectPairedAndVerified(p.Finish(120000), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PairEveryModule, ::testing::ValuesIn(test::ModuleKinds()),
                         [](const auto& info) { return test::KindTestName(info.param); });

} // namespace
} // namespace norva
