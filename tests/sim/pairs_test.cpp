// Several pairs in one process (--pairs K): each pair keeps to itself, and the program numbers
// their ports, links and control requests without touching what one pair does today.
#include "SimTestUtil.h"
#include "sim/CommandLine.h"
#include "sim/Pairs.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

const std::string kSim = NORVA_SIM_EXE;

std::string ShellOut(const std::string& commandLine, int* status) {
    std::string out;
    FILE* pipe = popen(commandLine.c_str(), "r");
    char buf[4096];
    size_t n;
    while (pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    int raw = pipe ? pclose(pipe) : -1;
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

TEST(Pairs, IdentitiesFollowTheUnitNumbersAndOnePairKeepsTodaysOptions) {
    SimOptions base = FastOptions();
    base.tracePath = "t.jsonl";
    base.linkDir = "links";
    SimOptions alone = PairOptions(base, 1, 1);
    EXPECT_TRUE(alone.unit[0].address.empty());
    EXPECT_TRUE(alone.linkNames[0].empty());
    EXPECT_EQ(alone.tracePath, "t.jsonl");

    SimOptions first = PairOptions(base, 1, 16);
    EXPECT_EQ(first.unit[0].address, kUnit1);
    EXPECT_EQ(first.unit[1].address, kUnit2);
    EXPECT_EQ(first.unit[0].name, "Norva-BX01");
    SimOptions last = PairOptions(base, 16, 16);
    EXPECT_EQ(last.unit[0].address, "00A0961B2C1F");
    EXPECT_EQ(last.unit[1].address, "00A0961B2C20");
    EXPECT_EQ(last.unit[0].name, "Norva-BX31");
    EXPECT_EQ(last.unit[1].name, "Norva-BX32");
    EXPECT_EQ(last.linkNames[0], "unit31");
    EXPECT_EQ(last.linkNames[1], "unit32");
    EXPECT_EQ(last.tracePath, "t.jsonl.16");
    base.onePort = true;
    SimOptions onePort = PairOptions(base, 5, 8);
    EXPECT_EQ(onePort.linkNames[0], "com5");
    EXPECT_TRUE(onePort.linkNames[1].empty());
}

TEST(Pairs, EachPairLinksOnlyWithinItself) {
    SimOptions base = FastOptions();
    base.startPaired = true;
    constexpr int kPairs = 3;
    std::vector<std::unique_ptr<Simulator>> sims;
    for (int p = 1; p <= kPairs; ++p) {
        sims.push_back(std::make_unique<Simulator>(PairOptions(base, p, kPairs)));
        ASSERT_TRUE(sims.back()->Start(nullptr));
    }
    PtyClient unit3;
    PtyClient unit4;
    ASSERT_TRUE(unit3.Open(sims[1]->DevicePath(1)));
    ASSERT_TRUE(unit4.Open(sims[1]->DevicePath(2)));
    EXPECT_EQ(StatusField(unit3.Command("AT+BTINFO?"), 0), "00A0961B2C03");
    EXPECT_EQ(StatusField(unit4.Command("AT+BTINFO?"), 1), "Norva-BX04");

    // Pair 2 remembers its own units, so a restart of its unit 1 links it with unit 4 alone.
    unit3.Send("ATZ\r");
    EXPECT_TRUE(Has(unit4.ReadUntil("CONNECT 00A0961B2C03\r\n"), "CONNECT 00A0961B2C03\r\n"));
    EXPECT_EQ(sims[1]->Snapshot(1).link, LinkState::Connected);
    for (int p : {0, 2}) {
        EXPECT_NE(sims[p]->Snapshot(1).link, LinkState::Connected) << "pair " << p + 1;
        EXPECT_NE(sims[p]->Snapshot(2).link, LinkState::Connected) << "pair " << p + 1;
    }
    // A unit of another pair is a stranger: dialling it fails.
    PtyClient unit6;
    ASSERT_TRUE(unit6.Open(sims[2]->DevicePath(2)));
    EXPECT_EQ(unit6.Command("ATD00A0961B2C01", "\r\nERROR\r\n"), std::string(kOk) + kError);
}

TEST(Pairs, CommandLineTakesACountAndPairRequests) {
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--pairs", "8", "--unit2-start-off", "--uart", "115200,N,1,1"},
                                 &cl, &error))
        << error;
    EXPECT_EQ(cl.pairs, 8);
    EXPECT_TRUE(PairOptions(cl.sim, 8, 8).unit[1].startOff);
    EXPECT_EQ(PairOptions(cl.sim, 3, 8).unit[0].uart.baud, 115200);
    ASSERT_TRUE(ParseCommandLine({"pair", "2", "power", "1", "off", "--control", "s"}, &cl, &error))
        << error;
    EXPECT_EQ(cl.mode, CommandLine::Mode::Client);
    EXPECT_EQ(cl.request, "pair 2 power 1 off");

    const std::vector<std::vector<std::string>> bad = {
        {"--pairs", "0"},
        {"--pairs", "17"},
        {"--pairs"},
        {"--pairs", "2", "--unit2-address", "00A0961B2C09"},
        {"--pairs", "2", "--name", "same"},
        {"pair", "17", "status", "--control", "s"},
        {"pair", "2", "--control", "s"},
        {"pair", "2", "quit", "--control", "s"},
        {"pair", "2", "attach", "3", "--control", "s"},
    };
    for (const auto& args : bad) {
        EXPECT_FALSE(ParseCommandLine(args, &cl, &error)) << args[0] << " " << args[1];
        EXPECT_FALSE(error.empty());
    }
}

TEST(Pairs, ProgramNumbersPortsLinksAndAnswersPerPair) {
    const std::string sock = ::testing::TempDir() + "norva-sim-pairs-" + std::to_string(getpid());
    const std::string dir = sock + ".links";
    const std::string trace = sock + ".trace";
    std::string script =
        "S=" + sock + "; X=" + kSim + "; D=" + dir +
        "; test \"$NORVAWIZARD_COM6\" = $D/unit6 && test -L $D/unit6 && echo links; "
        "$X pair 2 unplug 1 --control $S; echo unplug=$?; test -e $D/unit3 || echo gone3; "
        "test -L $D/unit1 && test -L $D/unit4 && echo others; "
        "$X unplug 1 --control $S; echo bare=$?; "
        "$X pair 4 status --control $S; echo nopair=$?; "
        "$X pair 3 power 2 off --control $S; $X status --control $S; "
        "$X verdict --control $S; echo verdict=$?";
    int status = -1;
    std::string out =
        ShellOut(kSim + " --pairs 3 --start-paired --connect-ms 20 --link-dir " + dir +
                     " --trace " + trace + " --control " + sock + " -- sh -c '" + script + "' 2>&1",
                 &status);
    EXPECT_EQ(status, 0) << out;
    for (const char* line : {
             "# pair 1: unit 1 Norva-BX01 (00A0961B2C01): /dev/",
             "# pair 3: unit 2 Norva-BX06 (00A0961B2C06): /dev/",
             "links\n",
             "pair 2: unit 1's adapter unplugged",
             "unplug=0\n",
             "gone3\n",
             "others\n",
             "unplug needs a pair with 3 pairs running, e.g. pair 3 unplug 1",
             "bare=1\n",
             "there is no pair 4",
             "nopair=1\n",
             "pair 3: unit 2 switched off\n",
             "pair 2: unit 1 Norva-BX03 (00A0961B2C03): unplugged, no power",
             "pair 3: unit 2 Norva-BX06 (00A0961B2C06): switched off, no power",
             "pair 2: verdict: the pair would auto-connect",
             "verdict: 3 of 3 pairs would auto-connect after a power cycle\n",
             "verdict=0\n",
         }) {
        EXPECT_TRUE(Has(out, line)) << line << "\n" << out;
    }
    for (int com = 1; com <= 6; ++com) {
        EXPECT_TRUE(Has(out, "NORVAWIZARD_COM" + std::to_string(com) + "=" + dir + "/unit" +
                                 std::to_string(com) + "\n"))
            << com;
    }
    EXPECT_FALSE(Has(out, "NORVAWIZARD_COM7"));
    for (int p = 1; p <= 3; ++p) {
        const std::string file = trace + "." + std::to_string(p);
        std::ifstream in(file);
        std::string first;
        EXPECT_TRUE(std::getline(in, first)) << file;
        std::remove(file.c_str());
    }
    rmdir(dir.c_str());

    out = ShellOut(kSim + " --pairs 2 --one-port -- sh -c 'echo \"[$NORVAWIZARD_COM2]\"; "
                          "test -z \"$NORVAWIZARD_COM3\" && echo two' 2>/dev/null",
                   &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Has(out, "# pair 2: units 1 Norva-BX03 (00A0961B2C03) and 2 Norva-BX04")) << out;
    EXPECT_TRUE(Has(out, "[/dev/")) << out;
    EXPECT_TRUE(Has(out, "two\n"));
}

} // namespace
} // namespace norva::sim::test
