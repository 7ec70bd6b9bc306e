// norvactl pair --record on a PostgreSQL database that two stations share.

#include "StationRun.h"
#include "TestTarget.h"
#include "station/Register.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace norva {
namespace {

using test::Contains;
using test::ToolRun;

// A register in a database of its own.
void MakeRegister(const test::TestTarget& reg) {
    station::RegisterError error;
    EXPECT_NE(station::Register::Open(reg.Target(), error), nullptr) << error.Text(true);
}

// norvactl with `env` and none of libpq's variables from the test's own
// environment.
ToolRun NorvactlWith(const std::vector<std::string>& env, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/env"};
    for (const char* name : {"PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGPASSFILE"}) {
        argv.insert(argv.end(), {"-u", name});
    }
    argv.insert(argv.end(), env.begin(), env.end());
    argv.push_back(NORVACTL_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    test::ToolProcess p(argv);
    EXPECT_TRUE(p.Started());
    return p.Finish(test::kRunMs);
}

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

TEST(StationPairPostgres, EveryFormOfTheUrlTheDocsShowReachesTheServer) {
    test::TestTarget reg(station::Engine::PostgreSQL);
    MakeRegister(reg);
    const std::string port = test::PgPort();
    const std::string user = "norva:norva-test@127.0.0.1";
    const std::string path = "/" + reg.Database();
    // Each with the PGPORT it runs with: without a port in the URL, libpq
    // takes it from there.
    const std::vector<std::pair<std::string, std::string>> forms = {
        {"postgresql://" + user + ":" + port + path, ""},
        {"postgres://" + user + ":" + port + path, ""},
        {"postgresql://" + user + ":" + port + path +
             "?connect_timeout=10&application_name=norva%20station%27s",
         ""},
        {"postgres://" + user + path, port},
    };
    for (const auto& [url, pgport] : forms) {
        const ToolRun run =
            NorvactlWith(pgport.empty() ? std::vector<std::string>{}
                                        : std::vector<std::string>{"PGPORT=" + pgport},
                         {"records", "--record", url, "--json"});
        EXPECT_EQ(run.exitCode, 0) << url << ": " << run.err;
        EXPECT_TRUE(Contains(run.out, "\"ok\":true")) << url << ": " << run.out;
    }
}

TEST(StationPairPostgres, APasswordMayBePercentEncodedOrComeFromPGPASSWORDOrPgpass) {
    test::TestTarget reg(station::Engine::PostgreSQL);
    MakeRegister(reg);
    // A user of its own whose password needs quoting everywhere it goes.
    const std::string role = "norva_pw" + std::to_string(getpid());
    const std::string password = "p@ss w'o\\rd";
    test::PgRun("postgres", "DROP ROLE IF EXISTS " + role);
    test::PgRun("postgres",
                "CREATE ROLE " + role + " LOGIN IN ROLE norva PASSWORD 'p@ss w''o\\rd'");
    char dir[] = "/tmp/norva-home-XXXXXX";
    const std::string home = mkdtemp(dir);
    const std::string at = "@127.0.0.1:" + test::PgPort() + "/" + reg.Database();
    const std::vector<std::string> records = {"records", "--record", "postgresql://" + role + at};

    ToolRun run =
        NorvactlWith({"HOME=" + home},
                     {"records", "--record", "postgresql://" + role + ":p%40ss%20w%27o%5Crd" + at});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = NorvactlWith({"HOME=" + home}, records);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(Contains(run.err, "cannot be used: authentication failed: no password given"))
        << run.err;
    run = NorvactlWith({"HOME=" + home, "PGPASSWORD=" + password}, records);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // ~/.pgpass escapes a backslash.
    test::WriteFile(home + "/.pgpass",
                    "127.0.0.1:" + test::PgPort() + ":*:" + role + ":p@ss w'o\\\\rd\n");
    chmod((home + "/.pgpass").c_str(), 0600);
    run = NorvactlWith({"HOME=" + home}, records);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    test::Shell("rm -rf '" + home + "'");
    test::PgRun("postgres", "DROP ROLE " + role);
}

TEST(StationPairPostgres, AWrongPasswordStopsTheRunBeforeAnyCommand) {
    auto s = test::StartSim({});
    const ToolRun run =
        test::Norvactl({"pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2),
                        "--record", test::PgUri("postgres", "not-the-password")});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(Contains(run.err, "authentication failed: wrong user name or password")) << run.err;
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
    test::PgRun("postgres", "DROP DATABASE " + reg.Database() + " WITH (FORCE)");
    const ToolRun run = p.Finish(test::kRunMs);
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_TRUE(Contains(run.out, ": paired")) << run.out;
    EXPECT_TRUE(Contains(run.err, "could not be written")) << run.err;
    EXPECT_TRUE(s->GetVerdict().wouldAutoConnect);
    s->Stop();
}

} // namespace
} // namespace norva
