// norvactl pair --batch: several pairs at once, each on its own worker, one
// report per pair.

#include "NorvactlRun.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace norva {
namespace {

using test::Contains;
using test::Norvactl;
using test::ToolRun;

std::string WriteBatch(const std::string& text) {
    char path[] = "/tmp/norva-batch-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << text;
    return path;
}

// Every line of a --log names one of `ports`, and on each port nothing is
// received between an open and the first command sent: a reply is never
// written before the command it answers.
void ExpectLogNamesPortsInOrder(const std::string& path, const std::vector<std::string>& ports) {
    std::ifstream in(path);
    std::map<std::string, bool> sentSinceOpen;
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        std::istringstream words(line);
        std::string stamp, elapsed, port, kind;
        words >> stamp >> elapsed >> port >> kind;
        ASSERT_NE(std::find(ports.begin(), ports.end(), port), ports.end()) << line;
        if (kind == "open") {
            sentSinceOpen[port] = false;
        } else if (kind == ">") {
            sentSinceOpen[port] = true;
        } else if (kind == "<") {
            EXPECT_TRUE(sentSinceOpen[port]) << "a reply before its command: " << line;
        }
    }
    EXPECT_GT(lines, 20);
}

std::unique_ptr<sim::Simulator> StartPair(sim::SimOptions options) {
    auto simulator = std::make_unique<sim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

TEST(PairBatch, PairsRunTogetherAndAFailingPairDoesNotStopTheOthers) {
    std::vector<std::unique_ptr<sim::Simulator>> sims;
    sims.push_back(StartPair({}));
    sims.push_back(StartPair({}));
    sim::SimOptions silent;
    silent.unit[1].silent = true;
    sims.push_back(StartPair(silent));
    std::string text = "# bench A\n\n";
    for (const auto& s : sims) {
        text += s->DevicePath(1) + " " + s->DevicePath(2) + "  # a pair\n";
    }
    const std::string batch = WriteBatch(text);

    const std::string log = WriteBatch("");
    const ToolRun run = Norvactl({"pair", "--batch", batch, "--json", "--log", log});
    std::remove(batch.c_str());
    // The failing pair's status: its unit 2 did not answer.
    EXPECT_EQ(run.exitCode, 4) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    ASSERT_EQ(report["pairs"].size(), 3u) << run.out;
    EXPECT_EQ(report["error"], "1 of 3 pairs not paired");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(report["pairs"][i]["ok"], true) << report["pairs"][i].dump();
        EXPECT_TRUE(sims[i]->GetVerdict().wouldAutoConnect) << i;
    }
    const nlohmann::json& failed = report["pairs"][2];
    EXPECT_EQ(failed["ok"], false);
    EXPECT_EQ(failed["exit"], 4);
    EXPECT_EQ(failed["step"], 3);
    // Unit 1 of the failed pair was made discoverable, and taken out of it
    // again; nothing was stored.
    EXPECT_EQ(sims[2]->Snapshot(1).mode, 0);
    EXPECT_EQ(sims[2]->Snapshot(1).link, sim::LinkState::Standby);
    std::vector<std::string> ports;
    for (const auto& s : sims) {
        ports.push_back(s->DevicePath(1));
        ports.push_back(s->DevicePath(2));
    }
    ExpectLogNamesPortsInOrder(log, ports);
    std::remove(log.c_str());
    // Progress lines name their pair.
    EXPECT_TRUE(
        Contains(run.err, sims[0]->DevicePath(1) + "+" + sims[0]->DevicePath(2) + ": step 9 of 9"))
        << run.err;
    for (auto& s : sims) {
        s->Stop();
    }
}

TEST(PairBatch, APortListedTwiceIsRefusedBeforeAnythingRuns) {
    const std::string batch = WriteBatch("COM33 COM34\nCOM35 COM33\n");
    const ToolRun run = Norvactl({"pair", "--batch", batch});
    std::remove(batch.c_str());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Contains(run.err, "line 2: COM33 is already in the pair COM33+COM34")) << run.err;
    const std::string onePort = WriteBatch("COM33\n");
    const ToolRun alone = Norvactl({"pair", "--batch", onePort});
    std::remove(onePort.c_str());
    EXPECT_EQ(alone.exitCode, 2);
    EXPECT_TRUE(Contains(alone.err, "needs --wait-unit")) << alone.err;
}

} // namespace
} // namespace norva
