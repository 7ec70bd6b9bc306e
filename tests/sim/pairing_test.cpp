// The whole pairing conversation, as the wizard holds it, against both port layouts.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

// Steps 1 and 2: unit 1 answers, reports idle, and starts waiting for unit 2.
void CheckAndScanUnit1(PtyClient& port) {
    EXPECT_EQ(port.Command("AT"), kOk);
    std::string info = port.Command("AT+BTINFO?");
    std::vector<std::string> f = StatusFields(info);
    ASSERT_EQ(f.size(), 7u) << info;
    EXPECT_EQ(f[0], kUnit1);
    EXPECT_EQ(f[1], "Norva-BX01");
    EXPECT_EQ(f[2], "MODE0");
    EXPECT_EQ(f[3], "STANDBY");
    EXPECT_EQ(f[6], "HWFC");
    EXPECT_EQ(info.substr(info.size() - 6), kOk);
    EXPECT_EQ(port.Command("AT+BTSCAN,3,3000"), kOk);
    EXPECT_EQ(StatusField(port.Command("AT+BTINFO?"), 3), "PENDING");
}

// Steps 3 to 7 on unit 2: status, inquiry, connect, then storing mode 1 and its UART while
// still connected, through the wizard's recovery (escape, online, escape, hang up, apply).
void SearchConnectApplyUnit2(PtyClient& port) {
    EXPECT_EQ(port.Command("AT"), kOk);
    std::vector<std::string> f = StatusFields(port.Command("AT+BTINFO?"));
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0], kUnit2);
    EXPECT_EQ(f[1], "Norva-BX02");
    EXPECT_EQ(port.Command("ATS24=10"), kOk);
    std::string found = port.Command("AT+BTINQ?");
    EXPECT_NE(found.find(std::string("\r\n") + kUnit1 + ",Norva-BX01,"), std::string::npos)
        << found;
    EXPECT_EQ(found.substr(found.size() - 6), kOk);

    std::string connect = port.Command(std::string("ATD") + kUnit1, "\r\n", 5000);
    connect += port.ReadUntil(std::string("\r\nCONNECT ") + kUnit1 + "\r\n");
    EXPECT_EQ(connect, std::string(kOk) + "\r\nCONNECT " + kUnit1 + "\r\n");

    // Apply while connected: data mode swallows the command.
    EXPECT_EQ(port.Command("AT+BTMODE,1", kOk, 400), "");
    EXPECT_EQ(port.Command("AT", kOk, 300), "");
    EXPECT_EQ(port.Command("+++"), kOk);
    EXPECT_EQ(StatusField(port.Command("AT+BTINFO?"), 3), "CONNECT");
    port.Send("ATO\r");
    EXPECT_EQ(port.ReadUntil(kOk), kOk);
    EXPECT_EQ(port.Command("+++"), kOk);
    EXPECT_EQ(port.Command("ATH", "\r\nDISCONNECT\r\n"), std::string(kOk) + "\r\nDISCONNECT\r\n");
    EXPECT_EQ(port.Command("AT+BTMODE,1"), kOk);
    EXPECT_EQ(port.Command("AT+UARTCONFIG,115200,E,2,0"), kOk);
}

// Step 8: unit 1 stores mode 2 and its UART.
void ApplyUnit1(PtyClient& port) {
    EXPECT_EQ(port.Command("AT+BTMODE,2"), kOk);
    EXPECT_EQ(port.Command("AT+UARTCONFIG,9600,N,1,1"), kOk);
}

void ExpectPaired(Simulator& sim) {
    Verdict v = sim.GetVerdict();
    EXPECT_TRUE(v.wouldAutoConnect);
    EXPECT_EQ(v.unit[0].mode, 2);
    EXPECT_EQ(v.unit[0].peer, kUnit2);
    EXPECT_EQ(v.unit[0].peerUnit, 2);
    EXPECT_EQ(v.unit[0].uart, (UartSetting{9600, 'N', 1, true}));
    EXPECT_EQ(v.unit[1].mode, 1);
    EXPECT_EQ(v.unit[1].peer, kUnit1);
    EXPECT_EQ(v.unit[1].peerUnit, 1);
    EXPECT_EQ(v.unit[1].uart, (UartSetting{115200, 'E', 2, false}));
    EXPECT_NE(v.Describe().find("would auto-connect"), std::string::npos) << v.Describe();
    EXPECT_EQ(v.Describe().find("would not auto-connect"), std::string::npos);
}

TEST(Pairing, TwoPortsWholeConversationEndsPairedAndPowerCycleConnects) {
    Simulator sim(FastOptions());
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    EXPECT_NE(sim.DevicePath(1), sim.DevicePath(2));
    {
        Verdict v = sim.GetVerdict();
        EXPECT_FALSE(v.wouldAutoConnect);
        EXPECT_NE(v.Describe().find("would not auto-connect"), std::string::npos);
    }

    PtyClient com1;
    ASSERT_TRUE(com1.Open(sim.DevicePath(1)));
    CheckAndScanUnit1(com1);
    com1.Close();

    PtyClient com2;
    ASSERT_TRUE(com2.Open(sim.DevicePath(2)));
    SearchConnectApplyUnit2(com2);
    com2.Close();
    EXPECT_FALSE(sim.GetVerdict().wouldAutoConnect); // unit 1 still in mode 0

    ASSERT_TRUE(com1.Open(sim.DevicePath(1)));
    ApplyUnit1(com1);
    ExpectPaired(sim);

    // Stored settings take effect at the power cycle; the pair finds itself.
    sim.PowerCycle();
    EXPECT_TRUE(Eventually([&] {
        return sim.Snapshot(1).link == LinkState::Connected &&
               sim.Snapshot(2).link == LinkState::Connected;
    }));
    const std::string announced = std::string("\r\nCONNECT ") + kUnit2 + "\r\n";
    EXPECT_EQ(com1.ReadUntil(announced), announced);
    EXPECT_EQ(sim.Snapshot(2).active, (UartSetting{115200, 'E', 2, false}));
    EXPECT_TRUE(sim.Snapshot(1).dataMode);
}

TEST(Pairing, FollowModeRunsTheConversationOverOnePort) {
    SimOptions o = FastOptions();
    o.follow = true;
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    EXPECT_EQ(sim.DevicePath(1), sim.DevicePath(2));
    const std::string path = sim.DevicePath(1);

    PtyClient port;
    ASSERT_TRUE(port.Open(path));
    CheckAndScanUnit1(port);
    port.Close();

    ASSERT_TRUE(port.Open(path));
    SearchConnectApplyUnit2(port);
    port.Close();

    ASSERT_TRUE(port.Open(path));
    EXPECT_EQ(StatusField(port.Command("AT+BTINFO?"), 1), "Norva-BX01");
    ApplyUnit1(port);
    port.Close();
    ExpectPaired(sim);
}

TEST(Pairing, PowerCycleOfAnUnpairedCoupleLeavesThemApart) {
    SimOptions o = FastOptions();
    o.unit[0].startMode = 2; // waits for a peer it never met
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    sim.PowerCycle();
    EXPECT_EQ(sim.Snapshot(1).link, LinkState::Standby);
    EXPECT_EQ(sim.Snapshot(2).link, LinkState::Standby);
    Verdict v = sim.GetVerdict();
    EXPECT_FALSE(v.wouldAutoConnect);
    EXPECT_NE(v.Describe().find("unit 2 is in mode 0, needs mode 1"), std::string::npos)
        << v.Describe();
}

} // namespace
} // namespace norva::sim::test
