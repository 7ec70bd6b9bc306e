// What real modules do where the simulator's own choice is the easier one: each switch shows on
// the wire of the unit it was given to, and random profiles come back as the switches they chose.
#include "SimTestUtil.h"
#include "sim/CommandLine.h"
#include "sim/ModuleProfiles.h"

#include <cstdio>
#include <sstream>

#include <sys/wait.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

const std::string kConnect1 = std::string("\r\nCONNECT ") + kUnit1 + "\r\n";
const std::string kConnect2 = std::string("\r\nCONNECT ") + kUnit2 + "\r\n";
const std::string kDisconnect = "\r\nDISCONNECT\r\n";

std::string Link(PtyClient& port) {
    return StatusField(port.Command("AT+BTINFO?"), 3);
}

// Unit 1 scans, unit 2 dials it; both end in data mode.
void DialScanningUnit1(Rig& rig) {
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kConnect1),
              std::string(kOk) + kConnect1);
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
}

TEST(RealChoices, RestartTimeIsPerUnitAtAtzAndPowerOnAndInputMeanwhileIsLost) {
    SimOptions o = FastOptions();
    o.unit[1].bootMs = 1000;
    Rig rig(o);
    const auto sent = std::chrono::steady_clock::now();
    rig.com2.Send("ATZ\rAT\r"); // the AT reaches a restarting unit
    EXPECT_EQ(rig.com2.ReadUntil(kOk), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(1000));
    EXPECT_EQ(rig.sim.Snapshot(2).commands, 1);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);

    ASSERT_TRUE(rig.sim.SetPower(2, false));
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_TRUE(rig.sim.Snapshot(2).restarting);
    ASSERT_TRUE(Eventually([&] { return !rig.sim.Snapshot(2).restarting; }));
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    // Unit 1 keeps the simulator's own: a power on is instant.
    ASSERT_TRUE(rig.sim.SetPower(1, false));
    ASSERT_TRUE(rig.sim.SetPower(1, true));
    EXPECT_FALSE(rig.sim.Snapshot(1).restarting);
}

TEST(RealChoices, ResetOkMayLeaveAtTheOldLineSettingsBeforeTheRestart) {
    SimOptions o = FastOptions();
    o.unit[0].resetReply = ResetReply::BeforeRestart;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,19200,N,1"), kOk);
    EXPECT_EQ(rig.com1.Command("ATZ"), kOk); // still at 9600
    ASSERT_TRUE(Eventually([&] { return rig.sim.Snapshot(1).restarts == 1; }));
    EXPECT_EQ(rig.sim.Snapshot(1).active.baud, 19200);
    ASSERT_TRUE(rig.com1.SetLine(19200, 1));
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
}

TEST(RealChoices, StoredModeMayActOnlyAfterARestart) {
    SimOptions o = FastOptions();
    o.startPaired = true; // unit 1 in mode 2, idle, unit 2 in mode 1
    o.unit[0].modeActs = ModeActs::AtRestart;
    Rig rig(o);
    // The idle unit 1 has not restarted into its mode, so unit 2's restart finds nobody.
    EXPECT_EQ(rig.com2.Command("ATZ"), kOk);
    EXPECT_EQ(Link(rig.com2), "STANDBY");
    EXPECT_EQ(rig.com1.Command("ATZ", kConnect2), std::string(kOk) + kConnect2);
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
    // A link lost from the other end: unit 1's mode in force waits for unit 2 again.
    ASSERT_TRUE(rig.sim.SetPower(2, false));
    EXPECT_EQ(rig.com1.ReadUntil(kDisconnect), kDisconnect);
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
}

TEST(RealChoices, ALinkMadeWhileScanningMayLeaveTheUnitScanningAgain) {
    SimOptions o = FastOptions();
    o.unit[0].afterScanLink = AfterScanLink::Pending;
    Rig rig(o);
    DialScanningUnit1(rig);
    EXPECT_EQ(rig.com2.Command("+++"), kOk);
    EXPECT_EQ(rig.com2.Command("ATH", kDisconnect), std::string(kOk) + kDisconnect);
    EXPECT_EQ(rig.com1.ReadUntil(kDisconnect), kDisconnect);
    EXPECT_EQ(Link(rig.com1), "PENDING");
    EXPECT_EQ(Link(rig.com2), "STANDBY");
    // Still connectable, until AT+BTCANCEL.
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kConnect1),
              std::string(kOk) + kConnect1);
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
    EXPECT_EQ(rig.com1.Command("+++"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(rig.com1.Command("ATH", kDisconnect), std::string(kOk) + kDisconnect);
    EXPECT_EQ(Link(rig.com1), "STANDBY");

    // The simulator's own choice: idle once the link has gone.
    Rig plain(FastOptions());
    DialScanningUnit1(plain);
    EXPECT_EQ(plain.com2.Command("+++"), kOk);
    EXPECT_EQ(plain.com2.Command("ATH", kDisconnect), std::string(kOk) + kDisconnect);
    EXPECT_EQ(plain.com1.ReadUntil(kDisconnect), kDisconnect);
    EXPECT_EQ(Link(plain.com1), "STANDBY");
}

TEST(RealChoices, TheCrAfterTheEscapeMayBeAnEmptyCommandLine) {
    SimOptions o = FastOptions();
    o.unit[0].startConnected = true;
    o.unit[0].escapeCr = EscapeCr::Error;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("+++", kError), std::string(kOk) + kError);
    EXPECT_EQ(rig.com2.Command("+++"), kOk);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    // After an escape taken in silence, the CR that follows is the empty line; later ones are not.
    EXPECT_EQ(rig.com1.Command("ATO", kOk), kOk);
    rig.com1.Send("+++");
    EXPECT_EQ(rig.com1.ReadUntil(kOk), kOk);
    EXPECT_EQ(rig.com1.Command("", kError), kError);
    EXPECT_EQ(rig.com1.Command("\rAT"), kOk);
}

TEST(RealChoices, AtoMayGetNoReply) {
    SimOptions o = FastOptions();
    o.unit[0].startConnected = true;
    o.unit[0].atoReply = AtoReply::None;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("+++"), kOk);
    rig.com1.Send("ATO\rdata");
    EXPECT_EQ(rig.com2.ReadUntil("data"), "data"); // back in data mode
    rig.com1.Send("+++\rATS24?\r");
    const std::string value = std::string(kOk) + "\r\n10\r\n" + kOk;
    EXPECT_EQ(rig.com1.ReadUntil(value), value);
    // Without a link no ERROR either.
    EXPECT_EQ(rig.com1.Command("ATH", kDisconnect), std::string(kOk) + kDisconnect);
    EXPECT_EQ(rig.com1.Command("ATO\rAT"), kOk);
}

// Unit 2 in mode 1 remembers unit 1 and pages it after its restart.
SimOptions PagingPair(int pagingMs, bool pageRestart) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[0].modeActs = ModeActs::AtRestart; // the idle unit 1 does not answer before a restart
    o.unit[1].modeActs = ModeActs::AtRestart;
    o.unit[1].pagingMs = pagingMs;
    o.unit[1].pageRestart = pageRestart;
    return o;
}

TEST(RealChoices, APagingUnitLinksAsSoonAsItsPeerAnswers) {
    // Both restarted at once, the paging unit up long before its peer.
    SimOptions o = PagingPair(20000, false);
    o.unit[0].bootMs = 600;
    Rig both(o);
    both.com1.Send("ATZ\r");
    EXPECT_EQ(both.com2.Command("ATZ", kConnect1), std::string(kOk) + kConnect1);
    EXPECT_EQ(both.com1.ReadUntil(kConnect2), std::string(kOk) + kConnect2);

    // A peer that starts scanning is called too.
    Rig rig(PagingPair(20000, false));
    EXPECT_EQ(rig.com2.Command("ATZ"), kOk);
    EXPECT_EQ(Link(rig.com2), "PENDING");
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0", kConnect2), std::string(kOk) + kConnect2);
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);

    // Without paging the same restart leaves unit 2 idle, and the scan is not called.
    Rig plain(PagingPair(0, false));
    EXPECT_EQ(plain.com2.Command("ATZ"), kOk);
    EXPECT_EQ(Link(plain.com2), "STANDBY");
    EXPECT_EQ(plain.com1.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(Link(plain.com1), "PENDING");
}

TEST(RealChoices, APageThatFindsNobodyEndsQuietlyOrInARestartOfItsOwn) {
    Rig quiet(PagingPair(300, false));
    EXPECT_EQ(quiet.com2.Command("ATZ"), kOk);
    ASSERT_TRUE(Eventually([&] { return quiet.sim.Snapshot(2).link == LinkState::Standby; }));
    EXPECT_EQ(quiet.com2.Command("AT"), kOk); // nothing came before it
    EXPECT_EQ(quiet.sim.Snapshot(2).restarts, 1);

    Rig again(PagingPair(300, true));
    EXPECT_EQ(again.com2.Command("ATZ"), kOk);
    ASSERT_TRUE(Eventually([&] { return again.sim.Snapshot(2).restarts >= 2; }));
    // Paging once more after its own restart: a scan now is called.
    EXPECT_EQ(again.com1.Command("AT+BTSCAN,3,0", kConnect2), std::string(kOk) + kConnect2);
    EXPECT_EQ(again.com2.ReadUntil(kConnect1), kConnect1);
}

TEST(RealChoices, S10OffMayHideConnectAndDisconnectToo) {
    SimOptions o = FastOptions();
    o.unit[0].responsesOff = true;
    o.unit[0].s10OffHides = S10OffHides::AllResults;
    o.unit[1].responsesOff = true; // hides OK and ERROR only
    Rig rig(o);
    rig.com1.Send("AT+BTSCAN,3,0\r");
    ASSERT_TRUE(Eventually([&] { return rig.sim.Snapshot(1).link == LinkState::Pending; }));
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kConnect1), kConnect1);
    // A value line still comes; nothing stands before it.
    rig.com1.Send("+++\rATS10?\r");
    EXPECT_EQ(rig.com1.ReadUntil("\r\n0\r\n"), "\r\n0\r\n");
    rig.com2.Send("+++\rATH\r");
    EXPECT_EQ(rig.com2.ReadUntil(kDisconnect), kDisconnect);
    EXPECT_EQ(rig.com1.Command("ATS10?", "\r\n0\r\n"), "\r\n0\r\n");
}

TEST(RealChoices, ProfilesRealSlowAndRandomComeBackAsTheirSwitches) {
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(
        ParseCommandLine({"--module-profile", "real-slow", "--unit2-paging-ms", "0"}, &cl, &error))
        << error;
    EXPECT_EQ(DescribeUnitOptions(cl.sim.unit[0]),
              "--boot-ms 2000 --reset-reply before-restart --mode-acts restart --after-scan-link "
              "pending --escape-cr error --ato-reply none --paging-ms 20000 --page-restart yes");
    EXPECT_EQ(cl.sim.unit[1].pagingMs, 0);

    // Every drawn profile reads back the same through the command line; the units differ.
    int unitsDiffer = 0;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        UnitOptions unit[2];
        ApplyRandomProfile(seed, 1, &unit[0]);
        ApplyRandomProfile(seed, 2, &unit[1]);
        const std::string words = DescribeUnitOptions(unit[0], "--unit1-") + " " +
                                  DescribeUnitOptions(unit[1], "--unit2-");
        std::vector<std::string> args;
        std::istringstream in(words);
        for (std::string w; in >> w;) {
            args.push_back(w);
        }
        ASSERT_TRUE(ParseCommandLine(args, &cl, &error)) << words << ": " << error;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(DescribeUnitOptions(cl.sim.unit[i]), DescribeUnitOptions(unit[i])) << seed;
            EXPECT_TRUE(!unit[i].responsesOff || unit[i].s10OffHides == S10OffHides::AllResults);
        }
        unitsDiffer += DescribeUnitOptions(unit[0]) != DescribeUnitOptions(unit[1]) ? 1 : 0;
    }
    EXPECT_GT(unitsDiffer, 150);

    // The program prints what the seed chose, and a switch after it still counts.
    ASSERT_TRUE(
        ParseCommandLine({"--random-profile", "42", "--unit1-ato-reply", "ok"}, &cl, &error))
        << error;
    UnitOptions drawn;
    ApplyRandomProfile(42, 2, &drawn);
    EXPECT_EQ(DescribeUnitOptions(cl.sim.unit[1]), DescribeUnitOptions(drawn));
    EXPECT_EQ(cl.sim.unit[0].atoReply, AtoReply::Ok);
    FILE* pipe =
        popen((std::string(NORVA_SIM_EXE) + " --random-profile 42 -- true 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) {
        out.append(buf, n);
    }
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0);
    ApplyRandomProfile(42, 1, &drawn);
    EXPECT_NE(out.find("# profile: " + DescribeUnitOptions(drawn, "--unit1-") + " --unit2-"),
              std::string::npos)
        << out;
    EXPECT_FALSE(ParseCommandLine({"--random-profile", "-1"}, &cl, &error));
}

} // namespace
} // namespace norva::sim::test
