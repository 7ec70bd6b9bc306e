// norvactl pair --record on a PostgreSQL database that two stations share.

#include "StationRun.h"
#include "TestTarget.h"

#include <gtest/gtest.h>

namespace norva {
namespace {

using test::Contains;
using test::ToolRun;

TEST(StationPairPostgres, TwoProcessesAtOnceLoseNoRow) {
    test::TestTarget reg(station::Engine::PostgreSQL);
    auto sims = test::StartPairs(6);
    char dir[] = "/tmp/norva-pgpair-XXXXXX";
    const std::string base = mkdtemp(dir);
    std::vector<std::unique_ptr<test::ToolProcess>> runs;
    for (int half = 0; half < 2; ++half) {
        std::string text;
        for (int p = half * 3; p < half * 3 + 3; ++p) {
            text += sims[p]->DevicePath(1) + " " + sims[p]->DevicePath(2) + "\n";
        }
        const std::string batch = base + "/half" + std::to_string(half) + ".txt";
        test::WriteFile(batch, text);
        runs.push_back(std::make_unique<test::ToolProcess>(
            std::vector<std::string>{NORVACTL_PATH, "pair", "--batch", batch, "--record",
                                     reg.Text(), "--operator", "station " + std::to_string(half)}));
    }
    for (auto& r : runs) {
        const ToolRun done = r->Finish(test::kRunMs);
        EXPECT_EQ(done.exitCode, 0) << done.err;
    }
    EXPECT_EQ(reg.Raw("SELECT count(*) FROM attempts WHERE outcome = 'paired'"), "6");
    EXPECT_EQ(reg.Raw("SELECT count(*) FROM paired_units"), "12");
    EXPECT_EQ(reg.Raw("SELECT count(DISTINCT operator) FROM attempts"), "2");

    // The same units again, from the second station's view: all done.
    const ToolRun again = test::Norvactl(
        {"pair", "--batch", base + "/half1.txt", "--record", reg.Text(), "--skip-done"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(test::CountOf(again.out, ": skipped: already paired"), 3u) << again.out;
    test::Shell("rm -rf '" + base + "'");
    for (auto& s : sims) {
        s->Stop();
    }
}

TEST(StationPairPostgres, AWrongPasswordStopsTheRunBeforeAnyCommand) {
    auto s = test::StartSim({});
    const ToolRun run =
        test::Norvactl({"pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2),
                        "--record", test::PgUri("postgres", "not-the-password")});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(Contains(run.err, "password authentication failed")) << run.err;
    EXPECT_FALSE(Contains(run.err, "not-the-password")) << run.err;
    EXPECT_EQ(s->Snapshot(1).commands, 0);
    s->Stop();
}

TEST(StationPairPostgres, ARegisterLostDuringTheRunKeepsThePairingsReport) {
    test::TestTarget reg(station::Engine::PostgreSQL);
    sim::SimOptions slow;
    // Long enough to drop the database while unit 2 searches.
    slow.timing.inquiryMs = 4000;
    auto s = test::StartSim(slow);
    test::ToolProcess p({NORVACTL_PATH, "pair", "--unit1", s->DevicePath(1), "--unit2",
                         s->DevicePath(2), "--record", reg.Text()});
    ASSERT_TRUE(p.WaitForError("step 3 of 9", test::kWaitMs * 3));
    const std::string name = reg.Text().substr(reg.Text().rfind('/') + 1,
                                               reg.Text().find('?') - reg.Text().rfind('/') - 1);
    test::PgRun("postgres", "DROP DATABASE " + name + " WITH (FORCE)");
    const ToolRun run = p.Finish(test::kRunMs);
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_TRUE(Contains(run.out, ": paired")) << run.out;
    EXPECT_TRUE(Contains(run.err, "could not be written")) << run.err;
    EXPECT_TRUE(s->GetVerdict().wouldAutoConnect);
    s->Stop();
}

} // namespace
} // namespace norva
