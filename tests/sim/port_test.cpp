// The pseudo-terminal side: who is on the line at each open, line settings, reopening, idling.
#include "SimTestUtil.h"

#include <cstdio>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

std::string NameOnLine(PtyClient& port) {
    return StatusField(port.Command("AT+BTINFO?"), 1);
}

TEST(Port, FollowSwapsAtTheReopenAfterEachTrigger) {
    SimOptions o = FastOptions();
    o.follow = true;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    EXPECT_TRUE(sim.Options().onePort);
    const std::string path = sim.DevicePath(1);
    PtyClient port;

    ASSERT_TRUE(port.Open(path));
    EXPECT_EQ(NameOnLine(port), "Norva-BX01");
    port.Close();
    ASSERT_TRUE(port.Open(path)); // no scan yet: unit 1 again
    EXPECT_EQ(NameOnLine(port), "Norva-BX01");
    EXPECT_EQ(port.Command("AT+BTSCAN,3,3000"), kOk);
    EXPECT_EQ(NameOnLine(port), "Norva-BX01"); // the swap waits for the reopen
    EXPECT_EQ(sim.Attached(), 1);
    EXPECT_EQ(sim.NextAttached(), 2);
    port.Close();

    ASSERT_TRUE(port.Open(path));
    EXPECT_EQ(NameOnLine(port), "Norva-BX02");
    EXPECT_EQ(port.Command("AT+BTMODE,1"), kOk);
    port.Close();
    ASSERT_TRUE(port.Open(path)); // mode alone does not swap back
    EXPECT_EQ(NameOnLine(port), "Norva-BX02");
    EXPECT_EQ(port.Command("AT+UARTCONFIG,9600,N,1,1"), kOk);
    EXPECT_EQ(NameOnLine(port), "Norva-BX02");
    port.Close();

    ASSERT_TRUE(port.Open(path));
    EXPECT_EQ(NameOnLine(port), "Norva-BX01");
    EXPECT_EQ(sim.Attached(), 1);
}

TEST(Port, AttachChoosesTheUnitOfTheNextOpen) {
    SimOptions o = FastOptions();
    o.onePort = true;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    EXPECT_EQ(sim.Attached(), 1);
    sim.Attach(2); // nobody on the line: at once
    EXPECT_EQ(sim.Attached(), 2);
    PtyClient port;
    ASSERT_TRUE(port.Open(sim.DevicePath(2)));
    EXPECT_EQ(NameOnLine(port), "Norva-BX02");
    sim.Attach(1);
    EXPECT_EQ(sim.Attached(), 2);
    EXPECT_EQ(NameOnLine(port), "Norva-BX02");
    port.Close();
    ASSERT_TRUE(port.Open(sim.DevicePath(1)));
    EXPECT_EQ(NameOnLine(port), "Norva-BX01");
    // A follow trigger never fires without --follow.
    EXPECT_EQ(port.Command("AT+BTSCAN,3,0"), kOk);
    port.Close();
    ASSERT_TRUE(port.Open(sim.DevicePath(1)));
    EXPECT_EQ(NameOnLine(port), "Norva-BX01");
}

TEST(Port, ManyReopensKeepStateAndNothingStaleArrives) {
    SimOptions o = FastOptions();
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient com1;
    PtyClient com2;
    ASSERT_TRUE(com2.Open(sim.DevicePath(2)));
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(com1.Open(sim.DevicePath(1))) << i;
        if (i == 0) {
            EXPECT_EQ(com1.Command("AT+BTMODE,3"), kOk);
        }
        if (i % 10 == 0) {
            EXPECT_EQ(StatusField(com1.Command("AT+BTINFO?"), 2), "MODE3") << i;
        }
        if (i == 30) {
            EXPECT_EQ(com1.Command("AT+BTSCAN,3,0"), kOk);
        }
        com1.Close();
    }
    // Unit 1 hears of the connection while nobody has its port open: the news is lost, not
    // queued for the next open.
    EXPECT_NE(com2.Command(std::string("ATD") + kUnit1, "CONNECT").find("CONNECT"),
              std::string::npos);
    ASSERT_TRUE(com1.Open(sim.DevicePath(1)));
    EXPECT_EQ(com1.ReadFor(200), "");
    EXPECT_EQ(com1.Command("+++"), kOk);
    EXPECT_EQ(StatusField(com1.Command("AT+BTINFO?"), 3), "CONNECT");
}

TEST(Port, LineSettingsThatDifferFromTheUnitMeanSilence) {
    SimOptions o = FastOptions();
    o.unit[1].uart = UartSetting{115200, 'N', 2, true};
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient com1;
    ASSERT_TRUE(com1.Open(sim.DevicePath(1), 115200, 1));
    EXPECT_EQ(com1.Command("AT", kOk, 300), "");
    ASSERT_TRUE(com1.SetLine(9600, 2));
    EXPECT_EQ(com1.Command("AT", kOk, 300), "");
    EXPECT_EQ(sim.Snapshot(1).commands, 0);
    ASSERT_TRUE(com1.SetLine(9600, 1));
    EXPECT_EQ(com1.Command("AT"), kOk);

    PtyClient com2;
    ASSERT_TRUE(com2.Open(sim.DevicePath(2), 9600, 1));
    EXPECT_EQ(com2.Command("AT", kOk, 300), "");
    ASSERT_TRUE(com2.SetLine(115200, 2));
    EXPECT_EQ(com2.Command("AT"), kOk);
}

TEST(Port, LineCheckCanBeSwitchedOff) {
    SimOptions o = FastOptions();
    o.checkLineSettings = false;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient com1;
    ASSERT_TRUE(com1.Open(sim.DevicePath(1), 115200, 2));
    EXPECT_EQ(com1.Command("AT"), kOk);
}

TEST(Port, IdleSimulatorUsesNoCpuWhileThePortsAreClosed) {
    SimOptions o = FastOptions();
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    {
        // After a close the master reports a hang-up for as long as nobody reopens.
        PtyClient com1;
        ASSERT_TRUE(com1.Open(sim.DevicePath(1)));
        EXPECT_EQ(com1.Command("AT"), kOk);
    }
    double before = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    double used = CpuSeconds() - before;
    // A spinning loop would burn about a whole second here.
    EXPECT_LT(used, 0.2);
}

TEST(Port, TraceRecordsBytesBothWaysAsJsonLines) {
    const std::string trace =
        ::testing::TempDir() + "sim_port_trace_" + std::to_string(getpid()) + ".jsonl";
    SimOptions o = FastOptions();
    o.tracePath = trace;
    o.onePort = true;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient port;
    ASSERT_TRUE(port.Open(sim.DevicePath(1)));
    EXPECT_EQ(port.Command("AT"), kOk);
    port.Close();
    sim.Stop();
    std::ifstream in(trace);
    std::remove(trace.c_str());
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("\"unit\":1,\"dir\":\"in\",\"bytes\":\"AT\\r\"}"), std::string::npos) << all;
    EXPECT_NE(all.find("\"unit\":1,\"dir\":\"out\",\"bytes\":\"\\r\\nOK\\r\\n\"}"),
              std::string::npos);
    EXPECT_NE(all.find("\"event\":\"port opened\""), std::string::npos);
    EXPECT_NE(all.find("\"event\":\"port closed\""), std::string::npos);
    for (size_t pos = 0; pos < all.size();) {
        size_t nl = all.find('\n', pos);
        ASSERT_NE(nl, std::string::npos);
        EXPECT_EQ(all.compare(pos, 5, "{\"t\":"), 0);
        EXPECT_EQ(all[nl - 1], '}');
        pos = nl + 1;
    }
}

TEST(Port, StartFailsCleanlyOnAnUnwritableTrace) {
    SimOptions o = FastOptions();
    o.tracePath = "/nonexistent-dir/trace.jsonl";
    Simulator sim(o);
    std::string error;
    EXPECT_FALSE(sim.Start(&error));
    EXPECT_NE(error.find("/nonexistent-dir/trace.jsonl"), std::string::npos);
}

TEST(Port, StopHangsUpTheComputersSide) {
    Simulator sim(FastOptions());
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient com1;
    ASSERT_TRUE(com1.Open(sim.DevicePath(1)));
    sim.Stop();
    EXPECT_FALSE(com1.Send("AT\r") && com1.ReadFor(100).find("OK") != std::string::npos);
    com1.Close();
    EXPECT_FALSE(com1.Open(sim.DevicePath(1)) && com1.Command("AT", kOk, 200) == kOk);
}

} // namespace
} // namespace norva::sim::test

namespace norva::sim::test {
namespace {

TEST(Port, WithoutInotifyReopensAreFoundByTheHangupAndIdleStaysCheap) {
    SimOptions o = FastOptions();
    o.notifyOpens = false;
    o.onePort = true;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    PtyClient port;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(port.Open(sim.DevicePath(1)));
        // The open shows within one recheck period; what came before waits in the pty.
        EXPECT_EQ(port.Command("AT"), kOk) << i;
        EXPECT_EQ(NameOnLine(port), i == 2 ? "Norva-BX02" : "Norva-BX01") << i;
        port.Close();
        // The next open is found only once this close has been seen.
        ASSERT_TRUE(Eventually([&] { return !sim.PortOpen(1); })) << i;
        if (i == 1) {
            sim.Attach(2);
        }
    }
    double before = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(CpuSeconds() - before, 0.2);
}

} // namespace
} // namespace norva::sim::test
