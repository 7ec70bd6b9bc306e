// norvactl pair --record / --label / --repair / --skip-done, records and
// label, against norva-sim and real SQLite files.

#include "StationRun.h"
#include "TestTarget.h"
#include "station/Register.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace norva {
namespace {

using test::Contains;
using test::Norvactl;
using test::Shell;
using test::ToolRun;

std::string Sql(const std::string& db, const std::string& query) {
    return Shell("sqlite3 '" + db + "' \"" + query + "\"");
}

// The files SQLite keeps beside a register while it is open.
std::string SideFiles(const std::string& dir) {
    return Shell("cd '" + dir + "' && ls -A | grep -e '-wal$' -e '-shm$' || true");
}

// norvactl run by a user for whom file permissions hold: as root, nobody.
ToolRun NorvactlAsUser(std::vector<std::string> args) {
    args.insert(args.begin(), NORVACTL_PATH);
    if (geteuid() == 0) {
        args.insert(args.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
    }
    test::ToolProcess p(args);
    EXPECT_TRUE(p.Started());
    return p.Finish(test::kRunMs);
}

TEST(StationPair, APairIsRecordedLabelledAndItsUnitsAreRefusedToAnotherPair) {
    test::TestTarget reg(station::Engine::SQLite);
    const std::string db = reg.Text();
    sim::SimOptions kinds;
    kinds.unit[1].oldFirmware = true;
    kinds.unit[1].echo = true;
    auto first = test::StartSim(kinds);
    const std::string label = reg.Dir() + "/pair.svg";
    ToolRun run =
        Norvactl({"pair", "--unit1", first->DevicePath(1), "--unit2", first->DevicePath(2),
                  "--verify", "--record", db, "--label", label, "--operator", "Kim", "-v"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The triage reads both units at once: each status reply is told under its own port.
    for (const char* unit : {"1", "2"}) {
        const std::string path = first->DevicePath(unit[0] - '0');
        std::istringstream lines(run.err);
        int replies = 0;
        for (std::string line; std::getline(lines, line);) {
            if (Contains(line, std::string("00A0961B2C0") + unit + ",Norva-BX0" + unit + ",MODE")) {
                EXPECT_TRUE(Contains(line, " " + path + " < ")) << line;
                ++replies;
            }
        }
        EXPECT_GE(replies, 2) << "unit " << unit;
    }
    EXPECT_EQ(Sql(db, "SELECT outcome, unit1_address, unit2_address, unit1_uart, unit1_mode,"
                      " unit2_mode, unit1_verified, unit2_verified, operator, unit1_firmware"
                      " FROM attempts"),
              "paired|00A0961B2C01|00A0961B2C02|9600,none,1,flow|2|1|1|1|Kim|flow-field");
    // What the pairing saw: unit 2 echoes, has no flow field and took the
    // short UART command.
    EXPECT_EQ(Sql(db, "SELECT unit1_echo, unit1_status_fields, unit1_uart_args, unit2_echo,"
                      " unit2_status_fields, unit2_uart_args FROM attempts"),
              "none|7|4|seen|6|3");
    const ToolRun csv = Norvactl({"records", "--record", db, "--csv"});
    EXPECT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(test::CountOf(csv.out, "\r\n"), 2u) << csv.out;
    EXPECT_TRUE(Contains(csv.out, ",00A0961B2C01,Norva-BX01,flow-field,\"9600,none,1,flow\",2,1,"))
        << csv.out;
    EXPECT_EQ(Shell("zbarimg --raw -q '" + label + "' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C01,00A0961B2C02");

    // Unit 1 of that pair (linked in data mode now) with a third unit.
    sim::SimOptions other;
    other.unit[0].address = "00A0961B2C01";
    other.unit[1].address = "00A0961B2C07";
    auto second = test::StartSim(other);
    run = Norvactl({"pair", "--unit1", second->DevicePath(1), "--unit2", second->DevicePath(2),
                    "--record", db, "--json"});
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_TRUE(Contains(run.err, "unit 1 00A0961B2C01 is in the pair with 00A0961B2C02 "
                                  "(Norva-BX02), paired "))
        << run.err;
    // Nothing but the status read reached either unit.
    for (int unit = 1; unit <= 2; ++unit) {
        const sim::UnitSnapshot s = second->Snapshot(unit);
        EXPECT_EQ(s.mode, 0) << unit;
        EXPECT_EQ(s.link, sim::LinkState::Standby) << unit;
        EXPECT_EQ(s.lastCommand, "AT+BTINFO?") << unit;
    }
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["pairs"][0]["exit"], 6);
    EXPECT_EQ(Sql(db, "SELECT outcome, step FROM attempts WHERE id = 2"), "refused|1");
    EXPECT_EQ(SideFiles(reg.Dir()), "");

    // --repair pairs them and records the new pair as replacing the old.
    run = Norvactl({"pair", "--unit1", second->DevicePath(1), "--unit2", second->DevicePath(2),
                    "--record", db, "--repair", "--label", reg.Dir() + "/pair.zpl"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Sql(db, "SELECT outcome, replaces FROM attempts WHERE id = 3"), "paired|1");
    EXPECT_EQ(test::CountOf(run.err, "note: 00A0961B2C02 (Norva-BX02), the old partner of unit 1 "
                                     "00A0961B2C01, still stores auto-connect to it"),
              1u)
        << run.err;
    EXPECT_EQ(Sql(db, "SELECT address || '=' || partner FROM paired_units ORDER BY address"),
              "00A0961B2C01=00A0961B2C07\n00A0961B2C07=00A0961B2C01");
    // The label of the new pair, from the register.
    const std::string fromRegister = reg.Dir() + "/again.svg";
    const ToolRun labelled =
        Norvactl({"label", "--record", db, "--unit", "00:a0:96:1b:2c:07", "--out", fromRegister});
    EXPECT_EQ(labelled.exitCode, 0) << labelled.err;
    EXPECT_EQ(labelled.out,
              "label of 00A0961B2C01 + 00A0961B2C07 written to " + fromRegister + "\n");
    EXPECT_EQ(Shell("zbarimg --raw -q '" + fromRegister + "' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C01,00A0961B2C07");
    const ToolRun none =
        Norvactl({"label", "--record", db, "--unit", "00A0961B2C02", "--out", fromRegister});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.err, "00A0961B2C02 is in no completed pair in " + db)) << none.err;

    const ToolRun json = Norvactl({"records", "--record", db, "--json", "--unit", "00A0961B2C07"});
    const nlohmann::json listed = nlohmann::json::parse(json.out);
    ASSERT_EQ(listed["pairs"].size(), 2u) << json.out;
    EXPECT_EQ(listed["pairs"][0]["outcome"], "refused");
    EXPECT_EQ(listed["pairs"][0]["unit1"]["name"], "Norva-BX01");
    EXPECT_EQ(listed["pairs"][1]["unit2"]["stored"]["mode"], 1);
    EXPECT_EQ(listed["pairs"][1]["replaces"], 1);
    const ToolRun nothing = Norvactl({"records", "--record", db, "--unit", "00A0961B2C09"});
    EXPECT_EQ(nothing.out, "No pairing attempts in " + db + " with unit 00A0961B2C09.\n");
    first->Stop();
    second->Stop();
}

TEST(StationPair, ABatchRunAgainWithSkipDoneDoesOnlyWhatIsLeft) {
    test::TestTarget reg(station::Engine::SQLite);
    auto sims = test::StartPairs(8);
    const std::string batch = reg.Dir() + "/bench.txt";
    test::WriteFile(batch, test::BatchText(sims));
    // Without Verify a station records what it configured, never "paired".
    ToolRun run = Norvactl({"pair", "--batch", batch, "--record", reg.Text(), "--label",
                            reg.Dir() + "/pair.svg", "--no-verify"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::CountOf(run.out, ": configured (not verified)"), 8u) << run.out;
    EXPECT_EQ(Sql(reg.Text(), "SELECT outcome, count(*) FROM attempts GROUP BY outcome"),
              "configured|8");
    EXPECT_EQ(Shell("zbarimg --raw -q '" + reg.Dir() + "/pair-00A0961B2C0F.svg' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C0F,00A0961B2C10");

    // A station verifies by itself, and only verified pairs count as done.
    run = Norvactl({"pair", "--batch", batch, "--record", reg.Text(), "--skip-done"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::CountOf(run.out, ": paired"), 8u) << run.out;
    EXPECT_EQ(Sql(reg.Text(), "SELECT outcome, count(*) FROM attempts GROUP BY outcome"),
              "configured|8\npaired|8");
    // Each unit is named as it names itself, in Verify's lines and the apply's notes.
    EXPECT_EQ(test::CountOf(run.out, "Norva-BX15 ("), 1u) << run.out;
    EXPECT_TRUE(Contains(run.err, "Norva-BX16 stored the settings")) << run.err;

    run = Norvactl({"pair", "--batch", batch, "--record", reg.Text(), "--skip-done", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    ASSERT_EQ(report["pairs"].size(), 8u);
    for (const auto& pair : report["pairs"]) {
        EXPECT_TRUE(Contains(pair["skipped"].get<std::string>(), "already paired")) << pair;
    }
    EXPECT_EQ(Sql(reg.Text(), "SELECT count(*) FROM attempts"), "16");
    for (auto& s : sims) {
        s->Stop();
    }
}

TEST(StationPair, TwoProcessesOnOneFileLoseNoRow) {
    test::TestTarget reg(station::Engine::SQLite);
    auto sims = test::StartPairs(6);
    std::vector<std::unique_ptr<test::ToolProcess>> runs;
    for (int half = 0; half < 2; ++half) {
        std::string text;
        for (int p = half * 3; p < half * 3 + 3; ++p) {
            text += sims[p]->DevicePath(1) + " " + sims[p]->DevicePath(2) + "\n";
        }
        const std::string batch = reg.Dir() + "/half" + std::to_string(half) + ".txt";
        test::WriteFile(batch, text);
        runs.push_back(std::make_unique<test::ToolProcess>(std::vector<std::string>{
            NORVACTL_PATH, "pair", "--batch", batch, "--record", reg.Text()}));
    }
    for (auto& r : runs) {
        const ToolRun done = r->Finish(test::kRunMs);
        EXPECT_EQ(done.exitCode, 0) << done.err;
    }
    EXPECT_EQ(Sql(reg.Text(), "SELECT outcome, count(*) FROM attempts GROUP BY outcome"),
              "paired|6");
    EXPECT_EQ(Sql(reg.Text(), "SELECT count(*) FROM paired_units"), "12");
    EXPECT_EQ(Sql(reg.Text(), "PRAGMA journal_mode"), "wal");
}

TEST(StationPair, AKilledRunLeavesAnInterruptedRowAndCtrlCACancelledOne) {
    test::TestTarget reg(station::Engine::SQLite);
    for (int sig : {SIGKILL, SIGINT}) {
        sim::SimOptions slow;
        // Long enough to be caught searching.
        slow.timing.inquiryMs = 20000;
        slow.unit[0].neighbours = 0;
        auto s = test::StartSim(slow);
        test::ToolProcess p({NORVACTL_PATH, "pair", "--unit1", s->DevicePath(1), "--unit2",
                             s->DevicePath(2), "--record", reg.Text()});
        ASSERT_TRUE(p.WaitForError("step 3 of 9", test::kWaitMs * 3));
        p.Signal(sig);
        const ToolRun run = p.Finish(test::kRunMs);
        const std::string last = Sql(reg.Text(), "SELECT outcome, unit2_address, ended_at IS NULL"
                                                 " FROM attempts ORDER BY id DESC LIMIT 1");
        if (sig == SIGKILL) {
            EXPECT_EQ(last, "interrupted|00A0961B2C02|1");
        } else {
            EXPECT_EQ(run.exitCode, 130) << run.err;
            EXPECT_EQ(last, "cancelled|00A0961B2C02|0");
        }
        s->Stop();
    }
}

TEST(StationPair, TheSearchEndsOnceUnit1IsFound) {
    sim::SimOptions crowded;
    // Unit 1 comes second of four, the others far apart from it.
    crowded.unit[1].neighbours = 3;
    crowded.timing.inquiryMs = 8000;
    auto s = test::StartSim(crowded);
    const ToolRun run =
        Norvactl({"pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2), "-v"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "step 4 of 9: unit 2 searched: 2 devices found")) << run.err;
    const size_t found = run.err.find("00A0961B2C01,Norva-BX01");
    const size_t cancel = run.err.find("> \"AT+BTCANCEL\\r\"", found);
    EXPECT_NE(found, std::string::npos);
    EXPECT_NE(cancel, std::string::npos) << run.err;
    EXPECT_TRUE(s->GetVerdict().wouldAutoConnect);
    s->Stop();
}

TEST(StationPair, AReadOnlyRegisterIsListedAndARefusedPairLeavesNoFileBesideIt) {
    test::TestTarget reg(station::Engine::SQLite);
    const std::string db = reg.Text();
    {
        station::RegisterError error;
        auto r = station::Register::Open(reg.Target(), error);
        ASSERT_NE(r, nullptr) << error.Text(true);
        station::AttemptRecord a;
        a.station = "bench-1";
        a.tool = "norvactl";
        a.toolVersion = "1.0.0";
        a.pairName = "COM1+COM2";
        a.unit[0].address = "00A0961B2C01";
        a.unit[1].address = "00A0961B2C02";
        ASSERT_TRUE(r->Begin(a, error)) << error.Text(true);
        a.outcome = station::Outcome::Paired;
        ASSERT_TRUE(r->Complete(a, false, error)) << error.Text(true);
    }
    // Read by its owner, the register is tidied up after as before.
    EXPECT_EQ(Norvactl({"records", "--record", db}).exitCode, 0);
    EXPECT_EQ(SideFiles(reg.Dir()), "");

    auto s = test::StartSim({});
    const std::vector<std::string> pair = {
        "pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2), "--record", db};
    char outDir[] = "/tmp/norva-label-XXXXXX";
    const std::string out = mkdtemp(outDir);
    chmod(out.c_str(), 0777);
    // The file read-only, its directory open to all; then the directory
    // read-only too, where SQLite cannot make its -shm file.
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    for (const mode_t dirMode : {0777, 0555}) {
        ASSERT_EQ(chmod(reg.Dir().c_str(), dirMode), 0);
        const ToolRun csv = NorvactlAsUser({"records", "--record", db, "--csv"});
        EXPECT_EQ(csv.exitCode, 0) << csv.err;
        EXPECT_EQ(test::CountOf(csv.out, "\r\n"), 2u) << csv.out;
        const ToolRun labelled = NorvactlAsUser(
            {"label", "--record", db, "--unit", "00A0961B2C02", "--out", out + "/pair.svg"});
        EXPECT_EQ(labelled.exitCode, 0) << labelled.err;

        ToolRun run = NorvactlAsUser(pair);
        EXPECT_EQ(run.exitCode, 5) << run.err;
        EXPECT_TRUE(Contains(run.err,
                             "norvactl: the register " + db + " cannot be used: it is read-only\n"))
            << run.err;
        std::vector<std::string> verbose = pair;
        verbose.push_back("-v");
        run = NorvactlAsUser(verbose);
        EXPECT_TRUE(Contains(run.err, "it is read-only (" + db + ": Permission denied)"))
            << run.err;
        EXPECT_EQ(SideFiles(reg.Dir()), "") << dirMode;
    }
    chmod(reg.Dir().c_str(), 0755);
    Shell("rm -rf '" + out + "'");
    EXPECT_EQ(s->Snapshot(1).commands, 0);
    EXPECT_EQ(Sql(db, "SELECT count(*) FROM attempts"), "1");
    s->Stop();
}

TEST(StationPair, ARegisterThatCannotBeUsedStopsTheRunBeforeAnyCommand) {
    test::TestTarget reg(station::Engine::SQLite);
    auto s = test::StartSim({});
    ToolRun run = Norvactl({"pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2),
                            "--record", "/nonexistent-dir/pairs.db", "--json"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(Contains(run.err, "norvactl: the register /nonexistent-dir/pairs.db cannot be "
                                  "used: no such directory: /nonexistent-dir\n"))
        << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out)["exit"], 5);
    // A failed records --json has every key a successful one has.
    run = Norvactl({"records", "--record", reg.Dir() + "/none.db", "--json"});
    const nlohmann::json failed = nlohmann::json::parse(run.out);
    EXPECT_EQ(failed.size(), 15u) << run.out;
    EXPECT_TRUE(failed["pairs"].is_null()) << run.out;
    // The system's or the database's text only with -v.
    run = Norvactl({"records", "--record", reg.Dir() + "/none.db"});
    EXPECT_TRUE(Contains(run.err, "cannot be used: no such file\n")) << run.err;
    run = Norvactl({"records", "--record", reg.Dir() + "/none.db", "-v"});
    EXPECT_TRUE(
        Contains(run.err, "no such file (" + reg.Dir() + "/none.db: No such file or directory)\n"))
        << run.err;

    // A register of a newer version is refused and left as it was.
    ASSERT_EQ(Norvactl({"records", "--record", reg.Text()}).exitCode, 5);
    Shell("sqlite3 '" + reg.Text() +
          "' \"CREATE TABLE norva_meta (key TEXT PRIMARY KEY, value"
          " TEXT NOT NULL); INSERT INTO norva_meta VALUES"
          " ('schema_version', '9')\"");
    run = Norvactl(
        {"pair", "--unit1", s->DevicePath(1), "--unit2", s->DevicePath(2), "--record", reg.Text()});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(Contains(run.err, "schema version 9")) << run.err;
    EXPECT_EQ(Sql(reg.Text(), "SELECT count(*) FROM sqlite_master"), "2");
    for (int unit = 1; unit <= 2; ++unit) {
        EXPECT_EQ(s->Snapshot(unit).commands, 0) << unit;
    }

    // Options that need a register, and bad values, are usage errors.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"pair", "--port", "COM33", "--skip-done"},
          {"pair", "--port", "COM33", "--label", "x.pdf"},
          {"records"},
          {"records", "--record", "x.db", "--since", "yesterday"},
          {"records", "--record", "x.db", "--since", "2026-13-45"},
          {"records", "--record", "x.db", "--since", "2026-02-29"},
          {"label", "--record", "x.db", "--unit", "00A0961B2C01"}}) {
        EXPECT_EQ(Norvactl(args).exitCode, 2) << args.back();
    }
    s->Stop();
}

} // namespace
} // namespace norva
