// The pair register against a real SQLite file or a real PostgreSQL server
// (the same cases, built once per engine).

#include "TestTarget.h"
#include "station/AttemptJson.h"
#include "station/Export.h"
#include "station/Register.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <thread>
#include <vector>

namespace norva::station {
namespace {

#ifdef NORVA_TEST_POSTGRESQL
constexpr Engine kEngine = Engine::PostgreSQL;
#else
constexpr Engine kEngine = Engine::SQLite;
#endif

std::unique_ptr<Register> OpenOk(const RegisterTarget& target, int version = kSchemaVersion) {
    RegisterError error;
    std::unique_ptr<Register> reg = Register::Open(target, error, version);
    EXPECT_NE(reg, nullptr) << error.Text(true);
    return reg;
}

AttemptRecord Attempt(const std::string& a, const std::string& b) {
    AttemptRecord r;
    r.station = "bench-1";
    r.tool = "norvactl";
    r.toolVersion = "1.0.0";
    r.pairName = "COM1+COM2";
    r.unit[0].port = "COM1";
    r.unit[1].port = "COM2";
    r.unit[0].address = a;
    r.unit[1].address = b;
    return r;
}

// Begins and completes an attempt as paired.
AttemptRecord Pair(Register& reg, const std::string& a, const std::string& b, bool replace = false,
                   bool verified = false) {
    AttemptRecord r = Attempt(a, b);
    RegisterError error;
    EXPECT_TRUE(reg.Begin(r, error)) << error.Text(true);
    r.outcome = Outcome::Paired;
    r.step = 9;
    r.exitCode = 0;
    for (int i = 0; i < 2; ++i) {
        r.unit[i].uart = "9600,none,1,flow";
        r.unit[i].mode = i == 0 ? 2 : 1;
        r.unit[i].configured = true;
        if (verified) {
            r.unit[i].verified = true;
        }
    }
    EXPECT_TRUE(reg.Complete(r, replace, error)) << error.Text(true);
    return r;
}

size_t Count(Register& reg, const ListFilter& filter = {}) {
    std::vector<AttemptRecord> rows;
    RegisterError error;
    EXPECT_TRUE(reg.List(filter, rows, error)) << error.Text(true);
    return rows.size();
}

TEST(Register, AnAttemptIsWrittenAtItsStartAndCompletedAtItsEnd) {
    test::TestTarget t(kEngine);
    auto reg = OpenOk(t.Target());
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->FoundVersion(), 0);

    AttemptRecord r = Attempt("00A0961B2C01", "");
    r.operatorName = "Kim";
    RegisterError error;
    ASSERT_TRUE(reg->Begin(r, error)) << error.Text(true);
    EXPECT_GT(r.id, 0);
    // A run killed now leaves this behind.
    std::optional<AttemptRecord> seen = reg->Find(r.id, error);
    ASSERT_TRUE(seen) << error.Text(true);
    EXPECT_EQ(seen->outcome, Outcome::Interrupted);
    EXPECT_TRUE(seen->endedAt.empty());
    EXPECT_EQ(seen->unit[0].address, "00A0961B2C01");
    EXPECT_TRUE(seen->unit[1].address.empty());

    r.unit[1].address = "00A0961B2C02";
    r.unit[0].name = "=HYPERLINK(\"http://x\",\"y\")";
    r.unit[1].name = "Norva-BX02";
    r.unit[1].firmware = "no-flow-field";
    ASSERT_TRUE(reg->Update(r, error)) << error.Text(true);
    r.outcome = Outcome::Failed;
    r.step = 7;
    r.exitCode = 1;
    r.reason = "step 7: \"quoted\", with a comma\nand a line break";
    r.transcript = "/tmp/run.log";
    ASSERT_TRUE(reg->Complete(r, false, error)) << error.Text(true);

    seen = reg->Find(r.id, error);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->outcome, Outcome::Failed);
    EXPECT_EQ(seen->step, 7);
    EXPECT_EQ(seen->exitCode, 1);
    EXPECT_EQ(seen->reason, r.reason);
    EXPECT_EQ(seen->operatorName, "Kim");
    EXPECT_EQ(seen->unit[1].firmware, "no-flow-field");
    EXPECT_EQ(seen->unit[0].mode, -1);
    EXPECT_FALSE(seen->unit[0].verified.has_value());
    EXPECT_FALSE(seen->endedAt.empty());
    // A failed attempt pairs nothing.
    EXPECT_FALSE(reg->HoldingOf("00A0961B2C01", error)) << error.Text(true);

    // The export round trip: RFC 4180 quoting, a typed name that looks like
    // a formula kept as text, and the pair report's keys.
    const std::string csv = ToCsv({*seen});
    EXPECT_EQ(csv.rfind("id,started_at,ended_at,station,", 0), 0u) << csv;
    EXPECT_NE(csv.find("\"step 7: \"\"quoted\"\", with a comma\nand a line break\""),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find(",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",Norva-BX02,"), std::string::npos) << csv;
    EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");
    const nlohmann::ordered_json json = AttemptJson(*seen, AttemptView::Register);
    EXPECT_EQ(json["ok"], false);
    EXPECT_EQ(json["step"], 7);
    EXPECT_EQ(json["unit2"]["address"], "00A0961B2C02");
    EXPECT_TRUE(json["unit1"]["stored"].is_null());
    EXPECT_EQ(json["outcome"], "failed");
}

// What the pairing saw each unit do comes back from the register, its CSV
// and its JSON; a register of the version before is listed as it is when
// only read, and gets the columns when it is opened to be written.
TEST(Register, WhatThePairingSawOfEachUnitRoundTrips) {
    test::TestTarget t(kEngine);
    int64_t oldId = 0;
    {
        auto v2 = OpenOk(t.Target(), 2);
        ASSERT_NE(v2, nullptr);
        AttemptRecord old = Attempt("00A0961B2C01", "00A0961B2C02");
        RegisterError error;
        ASSERT_TRUE(v2->Begin(old, error)) << error.Text(true);
        oldId = old.id;
    }
    RegisterError error;
    {
        auto read = Register::Open(t.Target(), error, kSchemaVersion, false);
        ASSERT_NE(read, nullptr) << error.Text(true);
        EXPECT_EQ(read->Version(), 2);
        std::vector<AttemptRecord> rows;
        ASSERT_TRUE(read->List({}, rows, error)) << error.Text(true);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].unit[0].restartMs, -1);
    }
    EXPECT_EQ(t.Raw("SELECT value FROM norva_meta"), "2");

    auto reg = OpenOk(t.Target());
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->FoundVersion(), 2);
    AttemptRecord r = Attempt("00A0961B2C03", "00A0961B2C04");
    r.unit[0].echo = "seen";
    r.unit[0].statusFields = 6;
    r.unit[0].uartArgs = 3;
    r.unit[0].restartMs = 812;
    r.unit[1].echo = "none";
    r.unit[1].statusFields = 7;
    r.unit[1].uartArgs = 4;
    ASSERT_TRUE(reg->Begin(r, error)) << error.Text(true);
    ASSERT_TRUE(reg->Complete(r, false, error)) << error.Text(true);

    const std::optional<AttemptRecord> seen = reg->Find(r.id, error);
    ASSERT_TRUE(seen) << error.Text(true);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(seen->unit[i].echo, r.unit[i].echo);
        EXPECT_EQ(seen->unit[i].statusFields, r.unit[i].statusFields);
        EXPECT_EQ(seen->unit[i].uartArgs, r.unit[i].uartArgs);
        EXPECT_EQ(seen->unit[i].restartMs, r.unit[i].restartMs);
    }
    const std::optional<AttemptRecord> old = reg->Find(oldId, error);
    ASSERT_TRUE(old) << error.Text(true);
    EXPECT_TRUE(old->unit[0].echo.empty());
    EXPECT_EQ(old->unit[0].statusFields, 0);

    const std::string csv = ToCsv({*seen});
    const std::string header = csv.substr(0, csv.find("\r\n"));
    EXPECT_EQ(header.substr(header.find(",replaces,")),
              ",replaces,unit1_echo,unit1_status_fields,unit1_uart_args,unit1_restart_ms,"
              "unit2_echo,unit2_status_fields,unit2_uart_args,unit2_restart_ms")
        << csv;
    const std::string row = ",seen,6,3,812,none,7,4,\r\n";
    EXPECT_EQ(csv.substr(csv.size() - row.size()), row) << csv;
    const nlohmann::ordered_json json = AttemptJson(*seen, AttemptView::Register);
    EXPECT_EQ(json["unit1"]["echo"], "seen");
    EXPECT_EQ(json["unit1"]["status_fields"], 6);
    EXPECT_EQ(json["unit1"]["uart_args"], 3);
    EXPECT_EQ(json["unit1"]["restart_ms"], 812);
    EXPECT_EQ(json["unit2"]["uart_args"], 4);
    EXPECT_TRUE(json["unit2"]["restart_ms"].is_null());
}

// The pair report and the register write one attempt: the same leading
// keys, a unit's address kept in one spelling whatever the unit sent, and a
// unit that took its UART but failed its step reported so and kept as
// holding no setting.
TEST(Register, OneAttemptIsReportedAndKeptAlike) {
    test::TestTarget t(kEngine);
    auto reg = OpenOk(t.Target());
    ASSERT_NE(reg, nullptr);
    Pair(*reg, "00:a0:96-1b2c01", "00a0961b2c02");
    RegisterError error;
    const std::optional<PairHolding> held = reg->HoldingOf("00A0961B2C02", error);
    ASSERT_TRUE(held) << error.Text(true);
    EXPECT_EQ(held->partner, "00A0961B2C01");

    AttemptRecord r = Attempt("00a0961b2c03", "");
    ASSERT_TRUE(reg->Begin(r, error)) << error.Text(true);
    r.unit[0].uart = "9600,even,2,noflow";
    r.outcome = Outcome::Failed;
    r.step = 8;
    r.reason = "step 8: no answer";
    ASSERT_TRUE(reg->Complete(r, false, error)) << error.Text(true);
    const std::optional<AttemptRecord> seen = reg->Find(r.id, error);
    ASSERT_TRUE(seen) << error.Text(true);
    EXPECT_EQ(seen->unit[0].address, "00A0961B2C03");
    EXPECT_TRUE(seen->unit[0].uart.empty());
    EXPECT_FALSE(seen->unit[0].configured);

    const nlohmann::ordered_json run = AttemptJson(r, AttemptView::Run);
    const nlohmann::ordered_json kept = AttemptJson(*seen, AttemptView::Register);
    std::vector<std::string> runKeys;
    std::vector<std::string> keptKeys;
    for (const auto& [key, value] : run.items()) {
        runKeys.push_back(key);
    }
    for (const auto& [key, value] : kept.items()) {
        keptKeys.push_back(key);
    }
    ASSERT_GE(keptKeys.size(), runKeys.size());
    EXPECT_TRUE(std::equal(runKeys.begin(), runKeys.end(), keptKeys.begin())) << run << kept;
    EXPECT_EQ(run["error"], kept["error"]);
    EXPECT_TRUE(run["unit1"]["stored"].is_null());
    EXPECT_EQ(run["unit1"]["state"]["uart_stored"], true);
    EXPECT_EQ(run["unit1"]["state"]["mode_stored"], false);
}

TEST(Register, APairHoldsItsUnitsUntilARepairReplacesIt) {
    test::TestTarget t(kEngine);
    auto reg = OpenOk(t.Target());
    ASSERT_NE(reg, nullptr);
    const AttemptRecord first = Pair(*reg, "00A0961B2C01", "00A0961B2C02");
    RegisterError error;
    std::optional<PairHolding> h = reg->HoldingOf("00A0961B2C02", error);
    ASSERT_TRUE(h) << error.Text(true);
    EXPECT_EQ(h->partner, "00A0961B2C01");
    EXPECT_EQ(h->attemptId, first.id);
    EXPECT_EQ(h->station, "bench-1");
    EXPECT_FALSE(h->verified);

    // The same two units again: the new attempt takes the old one's place.
    const AttemptRecord again = Pair(*reg, "00A0961B2C02", "00A0961B2C01", false, true);
    EXPECT_EQ(again.replaces, first.id);
    h = reg->HoldingOf("00A0961B2C01", error);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->attemptId, again.id);
    EXPECT_TRUE(h->verified);

    // Another partner without leave: the attempt is kept, the pair stays.
    AttemptRecord third = Pair(*reg, "00A0961B2C01", "00A0961B2C03");
    EXPECT_NE(third.reason.find("00A0961B2C01 was recorded meanwhile"), std::string::npos)
        << third.reason;
    EXPECT_EQ(reg->HoldingOf("00A0961B2C01", error)->attemptId, again.id);
    EXPECT_FALSE(reg->HoldingOf("00A0961B2C03", error));

    // With leave: the old pair is gone as a whole, its other unit is free.
    const AttemptRecord repair = Pair(*reg, "00A0961B2C01", "00A0961B2C03", true);
    EXPECT_EQ(repair.replaces, again.id);
    EXPECT_EQ(reg->HoldingOf("00A0961B2C03", error)->partner, "00A0961B2C01");
    EXPECT_FALSE(reg->HoldingOf("00A0961B2C02", error));
    EXPECT_EQ(Count(*reg), 4u);
    ListFilter only;
    only.address = "00A0961B2C03";
    EXPECT_EQ(Count(*reg, only), 2u);
    only = {};
    only.since = "2999-01-01";
    EXPECT_EQ(Count(*reg, only), 0u);
}

TEST(Register, ManyWritersAtOnceLoseNoAttemptAndOneUnitEndsInOnePair) {
    // A new register: the writers create and set it up at the same time.
    test::TestTarget t(kEngine);
    constexpr int kWriters = 8;
    constexpr int kEach = 6;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            // A connection each, as separate processes or stations have.
            RegisterError error;
            std::unique_ptr<Register> reg = Register::Open(t.Target(), error);
            if (!reg) {
                ADD_FAILURE() << error.Text(true);
                ++failures;
                return;
            }
            for (int i = 0; i < kEach; ++i) {
                char partner[13];
                std::snprintf(partner, sizeof partner, "00A0960%02d%03d", w, i);
                // Every writer pairs the same unit: only one may hold it.
                AttemptRecord r = Attempt("00A0961B2CFF", partner);
                if (!reg->Begin(r, error)) {
                    ++failures;
                    continue;
                }
                r.outcome = Outcome::Paired;
                if (!reg->Complete(r, false, error)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    EXPECT_EQ(failures.load(), 0);
    auto reg = OpenOk(t.Target());
    ASSERT_NE(reg, nullptr);
    std::vector<AttemptRecord> rows;
    RegisterError error;
    ASSERT_TRUE(reg->List({}, rows, error)) << error.Text(true);
    EXPECT_EQ(rows.size(), static_cast<size_t>(kWriters * kEach));
    int holders = 0;
    for (const AttemptRecord& r : rows) {
        EXPECT_EQ(r.outcome, Outcome::Paired);
        holders += r.reason.empty() ? 1 : 0;
    }
    // The first pair holds the unit; every later one was told so.
    EXPECT_EQ(holders, 1);
    EXPECT_EQ(t.Raw("SELECT count(*) FROM paired_units WHERE address = '00A0961B2CFF'"), "1");
}

TEST(Register, AnOlderRegisterIsUpgradedInPlaceAndANewerOneIsRefused) {
    test::TestTarget t(kEngine);
    {
        auto v1 = OpenOk(t.Target(), 1);
        ASSERT_NE(v1, nullptr);
        AttemptRecord r = Attempt("00A0961B2C01", "00A0961B2C02");
        RegisterError error;
        ASSERT_TRUE(v1->Begin(r, error)) << error.Text(true);
        r.outcome = Outcome::Paired;
        ASSERT_TRUE(v1->Update(r, error)) << error.Text(true);
    }
    EXPECT_EQ(t.Raw("SELECT value FROM norva_meta"), "1");
    {
        auto reg = OpenOk(t.Target());
        ASSERT_NE(reg, nullptr);
        EXPECT_EQ(reg->FoundVersion(), 1);
        RegisterError error;
        // The pair version 1 recorded holds its units after the upgrade.
        std::optional<PairHolding> h = reg->HoldingOf("00A0961B2C02", error);
        ASSERT_TRUE(h) << error.Text(true);
        EXPECT_EQ(h->partner, "00A0961B2C01");
    }
    EXPECT_EQ(t.Raw("SELECT value FROM norva_meta"), "3");

    t.Raw("UPDATE norva_meta SET value = '4' WHERE key = 'schema_version'");
    RegisterError error;
    EXPECT_EQ(Register::Open(t.Target(), error), nullptr);
    EXPECT_NE(error.reason.find("newer version (schema version 4; this program knows up to 3)"),
              std::string::npos)
        << error.Text(true);
    EXPECT_EQ(t.Raw("SELECT count(*) FROM attempts"), "1");
    EXPECT_EQ(t.Raw("SELECT value FROM norva_meta"), "4");
}

TEST(Register, ARegisterThatCannotBeUsedIsReportedInTheUsersWords) {
    RegisterError error;
    RegisterTarget target;
    // Each reason in plain words, the database's own text kept for -v.
    auto refused = [&](const RegisterTarget& t, bool write = true) {
        error = {};
        EXPECT_EQ(Register::Open(t, error, kSchemaVersion, write), nullptr);
        return error.reason;
    };
#ifdef NORVA_TEST_POSTGRESQL
    ASSERT_TRUE(ParseTarget(test::PgUri("postgres", "wrong"), target, error.reason));
    EXPECT_EQ(refused(target), "authentication failed: wrong user name or password");
    EXPECT_NE(error.detail.find("password authentication failed"), std::string::npos)
        << error.detail;
    EXPECT_EQ(target.Shown().find("wrong"), std::string::npos) << target.Shown();
    // A port nobody listens on: the server is down.
    ASSERT_TRUE(ParseTarget("postgresql://norva:x@127.0.0.1:1/none?connect_timeout=5", target,
                            error.reason));
    EXPECT_EQ(refused(target),
              "cannot connect to the server: it is down, or the host or port is wrong");
    EXPECT_NE(error.Text(true).find("127.0.0.1"), std::string::npos) << error.Text(true);
    EXPECT_EQ(error.Text(false).find("127.0.0.1"), std::string::npos) << error.Text(false);
    ASSERT_TRUE(ParseTarget(test::PgUri("norva_no_such_database"), target, error.reason));
    EXPECT_EQ(refused(target), "no such database") << error.detail;
    // A database with no register in it is listed by nobody.
    test::TestTarget empty(kEngine);
    EXPECT_EQ(refused(empty.Target(), false),
              "it is not a pair register: it has none of the register's tables");
#else
    ASSERT_TRUE(ParseTarget("/nonexistent-dir/pairs.db", target, error.reason));
    EXPECT_EQ(refused(target), "no such directory: /nonexistent-dir");
    EXPECT_EQ(error.detail, "/nonexistent-dir/pairs.db: No such file or directory");

    test::TestTarget t(kEngine);
    EXPECT_EQ(refused(t.Target(), false), "no such file");
    // Nothing was created by looking.
    EXPECT_NE(access(t.Text().c_str(), F_OK), 0);
    FILE* f = std::fopen(t.Text().c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("these are not the pairs you are looking for, not a database at all\n", f);
    std::fclose(f);
    for (const bool write : {true, false}) {
        EXPECT_EQ(refused(t.Target(), write),
                  "it is not a pair register: the file is not a SQLite database");
        EXPECT_NE(error.detail.find("not a database"), std::string::npos) << error.detail;
    }
    ASSERT_TRUE(ParseTarget(t.Dir(), target, error.reason));
    EXPECT_EQ(refused(target, false), "it is a directory, not a register file");

    // A SQLite database of something else.
    test::TestTarget other(kEngine);
    other.Raw("CREATE TABLE notes (text TEXT)");
    EXPECT_EQ(refused(other.Target(), false),
              "it is not a pair register: it has none of the register's tables");
    // File permissions do not hold for root: norvactl_station_test runs
    // norvactl as another user for those.
    if (geteuid() != 0) {
        test::TestTarget ro(kEngine);
        ASSERT_NE(OpenOk(ro.Target()), nullptr);
        chmod(ro.Text().c_str(), 0444);
        EXPECT_EQ(refused(ro.Target()), "it is read-only");
        chmod(ro.Dir().c_str(), 0555);
        EXPECT_EQ(refused(ro.Target()), "it is read-only");
        chmod(ro.Text().c_str(), 0);
        EXPECT_EQ(refused(ro.Target(), false), "permission denied");
        chmod(ro.Dir().c_str(), 0755);
    }
#endif
}

} // namespace
} // namespace norva::station
