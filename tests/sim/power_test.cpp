// A unit's own power: off it is deaf and its link drops, on it starts from what it stored; and a
// pair configured earlier finds itself when the second unit comes up.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

const std::string kConnect1 = std::string("\r\nCONNECT ") + kUnit1 + "\r\n";
const std::string kConnect2 = std::string("\r\nCONNECT ") + kUnit2 + "\r\n";

TEST(Power, OffIsSilentAndThePartnerHearsDisconnect) {
    SimOptions o = FastOptions();
    o.unit[0].startConnected = true;
    Rig rig(o);
    ASSERT_TRUE(rig.sim.SetPower(1, false));
    EXPECT_FALSE(rig.sim.SetPower(1, false));
    EXPECT_EQ(rig.com2.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    EXPECT_EQ(rig.com2.Command("AT"), kOk); // back in command mode
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.com1.Command("+++", kOk, 300), "");
    EXPECT_EQ(rig.sim.Snapshot(1).commands, 0);
    EXPECT_FALSE(rig.sim.Snapshot(1).powered);
    EXPECT_FALSE(rig.sim.Snapshot(1).switchedOn);

    // On again: a fresh start, no link, answering.
    ASSERT_TRUE(rig.sim.SetPower(1, true));
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 3), "STANDBY");
    EXPECT_EQ(rig.sim.Snapshot(1).restarts, 1);
    EXPECT_EQ(rig.sim.Snapshot(2).restarts, 0);
}

TEST(Power, OffEndsAScanAndOnPutsTheStoredUartIntoEffect) {
    Rig rig(FastOptions());
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,19200,N,1"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0"), kOk);
    ASSERT_TRUE(rig.sim.SetPower(1, false));
    EXPECT_EQ(rig.sim.Snapshot(1).link, LinkState::Standby);
    // Scanning a moment ago, now neither found nor reached.
    EXPECT_EQ(rig.com2.Command("AT+BTINQ?"), kOk);
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kError), std::string(kOk) + kError);
    ASSERT_TRUE(rig.sim.SetPower(1, true));
    EXPECT_EQ(rig.sim.Snapshot(1).link, LinkState::Standby); // the scan did not survive
    EXPECT_EQ(rig.sim.Snapshot(1).active, (UartSetting{19200, 'N', 1, true}));
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), "");
    ASSERT_TRUE(rig.com1.SetLine(19200, 1));
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
}

TEST(Power, StartPairedIsAPairThatWouldAutoConnect) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[1].uart = UartSetting{115200, 'E', 2, false};
    Rig rig(o);
    Verdict v = rig.sim.GetVerdict();
    EXPECT_TRUE(v.wouldAutoConnect);
    EXPECT_EQ(v.unit[0].peerUnit, 2);
    EXPECT_EQ(v.unit[1].peerUnit, 1);
    EXPECT_EQ(v.unit[1].uart, (UartSetting{115200, 'E', 2, false}));
    EXPECT_NE(v.Describe().find("would auto-connect"), std::string::npos) << v.Describe();
    // Not linked yet: both idle in command mode.
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 2), "MODE2");
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 3), "STANDBY");
    ASSERT_TRUE(rig.com2.SetLine(115200, 2));
    EXPECT_EQ(StatusField(rig.com2.Command("AT+BTINFO?"), 2), "MODE1");
    EXPECT_EQ(rig.sim.Snapshot(2).link, LinkState::Standby);
}

// Unit 2 comes up late while unit 1 listens in one way or another; each case is one start.
void ExpectUnit2LinksWhenPowered(const std::string& unit1Command) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[1].startOff = true;
    Rig rig(o);
    EXPECT_EQ(rig.com2.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.sim.Snapshot(2).commands, 0);
    EXPECT_TRUE(rig.sim.GetVerdict().wouldAutoConnect);
    if (!unit1Command.empty()) {
        EXPECT_EQ(rig.com1.Command(unit1Command), kOk);
    }
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
    EXPECT_TRUE(rig.sim.Snapshot(1).dataMode);
    EXPECT_TRUE(rig.sim.Snapshot(2).dataMode);
    rig.com2.Send("ping");
    EXPECT_EQ(rig.com1.ReadUntil("ping"), "ping");
}

TEST(Power, OnOfAConfiguredPairLinksThem) {
    {
        SCOPED_TRACE("unit 1 idle in mode 2");
        ExpectUnit2LinksWhenPowered("");
    }
    {
        SCOPED_TRACE("unit 1 scanning, as in the wizard's second step");
        ExpectUnit2LinksWhenPowered("AT+BTSCAN,3,30");
    }
    {
        SCOPED_TRACE("unit 1 scanning in mode 0");
        SimOptions o = FastOptions();
        o.startPaired = true;
        o.unit[1].startOff = true;
        Rig rig(o);
        EXPECT_EQ(rig.com1.Command("AT+BTMODE,0"), kOk);
        EXPECT_EQ(rig.com1.Command("AT+BTSCAN,2,0"), kOk);
        ASSERT_TRUE(rig.sim.SetPower(2, true));
        EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
    }
}

TEST(Power, UnitOneComingUpLastStillLinks) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[0].startOff = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    ASSERT_TRUE(rig.sim.SetPower(1, true));
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
}

TEST(Power, NothingLinksWhenThePeerDoesNotListen) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[1].startOff = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,0"), kOk); // idle, and no longer waiting for unit 2
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    EXPECT_EQ(rig.sim.Snapshot(1).link, LinkState::Standby);
    EXPECT_EQ(rig.sim.Snapshot(2).link, LinkState::Standby);
    EXPECT_EQ(rig.com1.ReadFor(100), "");
}

TEST(Power, UnplugIsAPowerLossAndTheSwitchWaitsForTheAdapter) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    Rig rig(o);
    rig.sim.PowerCycle();
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
    ASSERT_TRUE(rig.sim.Unplug(1));
    EXPECT_EQ(rig.com2.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    // Replugged, unit 1 starts in mode 2 and the idle unit 2 dials it.
    ASSERT_TRUE(rig.sim.Replug(1));
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);

    ASSERT_TRUE(rig.sim.SetPower(2, false));
    ASSERT_TRUE(rig.sim.Unplug(2));
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_FALSE(rig.sim.Snapshot(2).powered);
    ASSERT_TRUE(rig.sim.Replug(2));
    EXPECT_TRUE(rig.sim.Snapshot(2).powered);
}

TEST(Power, SilentUnitStaysSilentThroughPowerOffAndOn) {
    SimOptions o = FastOptions();
    o.unit[1].silent = true;
    o.unit[0].startConnected = true;
    Rig rig(o);
    EXPECT_EQ(rig.com2.Command("AT", kOk, 300), "");
    ASSERT_TRUE(rig.sim.SetPower(2, false));
    EXPECT_EQ(rig.com1.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    ASSERT_TRUE(rig.sim.SetPower(2, true));
    EXPECT_TRUE(rig.sim.Snapshot(2).powered);
    EXPECT_EQ(rig.com2.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.sim.Snapshot(2).commands, 0);
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
}

TEST(Power, PowerCycleLeavesUnitsThatAreOffOff) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[1].startOff = true;
    Rig rig(o);
    rig.sim.PowerCycle();
    EXPECT_FALSE(rig.sim.Snapshot(2).powered);
    EXPECT_EQ(rig.sim.Snapshot(1).link, LinkState::Pending); // waiting for unit 2
    EXPECT_EQ(rig.sim.Snapshot(1).restarts, 1);
    EXPECT_EQ(rig.com2.Command("AT", kOk, 300), "");
}

} // namespace
} // namespace norva::sim::test
