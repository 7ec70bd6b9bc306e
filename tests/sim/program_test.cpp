// The norva-sim program: its options, the child command, the control socket and stdin.
#include "sim/CommandLine.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

struct Ran {
    int status = -1;
    std::string out;
};

// Runs a shell command line and collects its standard output (standard error stays visible).
Ran Shell(const std::string& commandLine) {
    Ran r;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        return r;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        r.out.append(buf, n);
    }
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const std::string kSim = NORVA_SIM_EXE;

std::string Fast() {
    return " --inquiry-ms 200 --connect-ms 20 --connect-fail-ms 200 ";
}

TEST(Program, ParsesPerUnitAndSharedUnitOptions) {
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--unit2-old-firmware", "--chunk", "3:20", "--unit1-silent",
                                  "--neighbours", "4", "--unit2-uart", "115200,E,2,0", "--follow",
                                  "--trace", "t.jsonl", "--", "true", "--x"},
                                 &cl, &error))
        << error;
    EXPECT_EQ(cl.mode, CommandLine::Mode::Run);
    EXPECT_FALSE(cl.sim.unit[0].oldFirmware);
    EXPECT_TRUE(cl.sim.unit[1].oldFirmware);
    EXPECT_TRUE(cl.sim.unit[0].silent);
    EXPECT_FALSE(cl.sim.unit[1].silent);
    for (const UnitOptions& u : cl.sim.unit) {
        EXPECT_EQ(u.chunkBytes, 3);
        EXPECT_EQ(u.chunkGapMs, 20);
        EXPECT_EQ(u.neighbours, 4);
    }
    EXPECT_EQ(cl.sim.unit[1].uart, (UartSetting{115200, 'E', 2, false}));
    EXPECT_EQ(cl.sim.unit[0].uart, UartSetting{});
    EXPECT_TRUE(cl.sim.follow);
    EXPECT_TRUE(cl.sim.onePort);
    EXPECT_EQ(cl.sim.tracePath, "t.jsonl");
    EXPECT_EQ(cl.command, (std::vector<std::string>{"true", "--x"}));

    ASSERT_TRUE(ParseCommandLine({"attach", "2", "--control", "s"}, &cl, &error)) << error;
    EXPECT_EQ(cl.mode, CommandLine::Mode::Client);
    EXPECT_EQ(cl.request, "attach 2");

    ASSERT_TRUE(ParseCommandLine({"power", "2", "off", "--control", "s"}, &cl, &error)) << error;
    EXPECT_EQ(cl.request, "power 2 off");
    ASSERT_TRUE(ParseCommandLine(
        {"--start-paired", "--unit2-start-off", "--unit1-no-scan-reply", "--link-dir", "links"},
        &cl, &error))
        << error;
    EXPECT_TRUE(cl.sim.startPaired);
    EXPECT_FALSE(cl.sim.unit[0].startOff);
    EXPECT_TRUE(cl.sim.unit[1].startOff);
    EXPECT_TRUE(cl.sim.unit[0].noScanReply);
    EXPECT_FALSE(cl.sim.unit[1].noScanReply);
    EXPECT_EQ(cl.sim.linkDir, "links");
    CommandLine keep;
    ASSERT_TRUE(ParseCommandLine({"--unit1-keep-mode", "--keep-flow"}, &keep, &error)) << error;
    EXPECT_TRUE(keep.sim.unit[0].keepMode);
    EXPECT_FALSE(keep.sim.unit[1].keepMode);
    EXPECT_TRUE(keep.sim.unit[0].keepFlow && keep.sim.unit[1].keepFlow);
}

TEST(Program, RejectsBadOptionsWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--chunk", "3"},
        {"--unit3-silent"},
        {"--start-mode", "4"},
        {"--uart", "9600,N,3"},
        {"--address", "12345"},
        {"--neighbours"},
        {
            "--",
        },
        {"verdict"},
        {"attach", "3", "--control", "s"},
        {"--unit1-address", "00A0961B2C05", "--unit2-address", "00a0961b2c05"},
        {"stray"},
        {"--flags", "2,0"},
        {"--link-dir"},
        {"power", "2", "--control", "s"},
        {"power", "3", "on", "--control", "s"},
        {"unplug", "--control", "s"},
        {"replug", "1", "2", "--control", "s"},
    };
    for (const auto& args : bad) {
        CommandLine cl;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(args, &cl, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    Ran r = Shell(kSim + " --bogus 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("unknown option --bogus"), std::string::npos);
    r = Shell(kSim + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--unit2-"), std::string::npos);
}

TEST(Program, RunsACommandWithTheComVariablesAndReturnsItsStatus) {
    Ran r = Shell(kSim + Fast() +
                  " -- sh -c 'test -c \"$NORVAWIZARD_COM1\" && test -c \"$NORVAWIZARD_COM2\" && "
                  "test \"$NORVAWIZARD_COM1\" != \"$NORVAWIZARD_COM2\" && exit 7' 2>/dev/null");
    EXPECT_EQ(r.status, 7);
    EXPECT_NE(r.out.find("NORVAWIZARD_COM1=/dev/"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("NORVAWIZARD_COM2=/dev/"), std::string::npos);

    r = Shell(kSim + " --one-port -- sh -c 'test -c \"$NORVAWIZARD_COM1\" && "
                     "test -z \"$NORVAWIZARD_COM2\"' 2>/dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("NORVAWIZARD_COM2"), std::string::npos);

    r = Shell(kSim + " -- /nonexistent/program 2>/dev/null");
    EXPECT_EQ(r.status, 127);
}

TEST(Program, ControlSocketAnswersVerdictStatusAndAttach) {
    const std::string sock = ::testing::TempDir() + "norva-sim-test-" + std::to_string(getpid());
    const std::string out = sock + ".out";
    // The child talks to its own simulator through the socket.
    std::string script = "S=" + sock + "; X=" + kSim +
                         "; $X verdict --control $S; echo \"verdict=$?\"; "
                         "$X attach 2 --control $S; $X status --control $S; "
                         "$X power-cycle --control $S; echo \"cycle=$?\"; "
                         "$X attach 5 --control $S; echo \"bad=$?\"";
    Ran r = Shell(kSim + Fast() + " --one-port --control " + sock + " -- sh -c '" + script +
                  "' 2>/dev/null");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("would not auto-connect"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("verdict=3"), std::string::npos);
    EXPECT_NE(r.out.find("the next open finds unit 2"), std::string::npos);
    EXPECT_NE(r.out.find("unit 2 attached"), std::string::npos); // nobody had the port open
    EXPECT_NE(r.out.find("cycle=0"), std::string::npos);
    EXPECT_NE(r.out.find("bad=2"), std::string::npos);
    EXPECT_NE(access(sock.c_str(), F_OK), 0); // removed on exit

    r = Shell(kSim + " verdict --control " + sock + " 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("cannot reach"), std::string::npos);
}

TEST(Program, ControlSocketUnplugsReplugsAndSwitchesPower) {
    const std::string sock = ::testing::TempDir() + "norva-sim-plug-" + std::to_string(getpid());
    const std::string dir = sock + ".links";
    std::string script =
        "S=" + sock + "; X=" + kSim + "; D=" + dir +
        "; test -L $D/unit2 && test \"$NORVAWIZARD_COM2\" = $D/unit2 && echo links; "
        "$X unplug 2 --control $S; echo unplug=$?; test -e $D/unit2 || echo gone; "
        "$X unplug 2 --control $S; echo again=$?; "
        "$X replug 2 --control $S; echo replug=$?; test -L $D/unit2 && echo back; "
        "$X power 1 off --control $S; echo off=$?; $X status --control $S; "
        "$X power 1 off --control $S; echo offagain=$?; "
        "$X power 1 on --control $S; echo on=$?; "
        "$X verdict --control $S; echo verdict=$?";
    Ran r = Shell(kSim + Fast() + " --start-paired --unit2-start-off --link-dir " + dir +
                  " --control " + sock + " -- sh -c '" + script + "' 2>/dev/null");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("NORVAWIZARD_COM2=" + dir + "/unit2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(00A0961B2C02, switched off)"), std::string::npos);
    for (const char* line : {"links\n", "unplug=0\n", "gone\n", "again=1\n", "replug=0\n", "back\n",
                             "off=0\n", "offagain=1\n", "on=0\n", "verdict=0\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    }
    EXPECT_NE(r.out.find("switched off, no power"), std::string::npos);
    EXPECT_NE(r.out.find("would auto-connect"), std::string::npos);
    EXPECT_NE(access((dir + "/unit1").c_str(), F_OK), 0); // links go with the simulator
    rmdir(dir.c_str());
}

TEST(Program, StandardInputTakesTheSameRequests) {
    Ran r = Shell("printf 'verdict\\nnonsense\\nquit\\n' | " + kSim + " 2>&1");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("would not auto-connect"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("unknown request \"nonsense\""), std::string::npos);
}

} // namespace
} // namespace norva::sim::test
