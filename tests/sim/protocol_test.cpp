// Commands and replies of one unit and of the radio between the two, over real ptys.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

class Protocol : public ::testing::Test {
protected:
    void SetUp() override { Begin(FastOptions()); }

    void Begin(const SimOptions& options) {
        com1.Close();
        com2.Close();
        sim = std::make_unique<Simulator>(options);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_TRUE(com1.Open(sim->DevicePath(1)));
        ASSERT_TRUE(com2.Open(sim->DevicePath(2)));
    }

    // Unit 2 dials unit 1 after unit 1 made itself connectable.
    void Connect() {
        ASSERT_EQ(com1.Command("AT+BTSCAN,3,0"), kOk);
        std::string r =
            com2.Command(std::string("ATD") + kUnit1, "CONNECT " + std::string(kUnit1) + "\r\n");
        ASSERT_EQ(r, std::string(kOk) + "\r\nCONNECT " + kUnit1 + "\r\n");
        const std::string announced = std::string("\r\nCONNECT ") + kUnit2 + "\r\n";
        ASSERT_EQ(com1.ReadUntil(announced), announced);
    }

    std::unique_ptr<Simulator> sim;
    PtyClient com1;
    PtyClient com2;
};

TEST_F(Protocol, PlainCommandsAndSRegisters) {
    EXPECT_EQ(com1.Command("AT"), kOk);
    EXPECT_EQ(com1.Command("at"), kOk);
    EXPECT_EQ(com1.Command("ATX", kError), kError);
    EXPECT_EQ(com1.Command("HELLO", kError), kError);
    EXPECT_EQ(com1.Command("+++", kError), kError); // no escape in command mode
    // A bare CR and a trailing LF are not commands.
    com1.Send("\r");
    EXPECT_EQ(com1.Command("AT\n"), kOk);
    EXPECT_EQ(com1.ReadFor(100), "");
    EXPECT_EQ(com1.Command(std::string(200, 'A'), kError), kError);

    EXPECT_EQ(com1.Command("ATS10?"), std::string("\r\n1\r\n") + kOk);
    EXPECT_EQ(com1.Command("ATS24?"), std::string("\r\n10\r\n") + kOk);
    EXPECT_EQ(com1.Command("ATS24=7"), kOk);
    EXPECT_EQ(com1.Command("ATS24?"), std::string("\r\n7\r\n") + kOk);
    EXPECT_EQ(com1.Command("ATS99?"), std::string("\r\n0\r\n") + kOk);
    EXPECT_EQ(com1.Command("ATS100=1", kError), kError);
    EXPECT_EQ(com1.Command("ATS10=x", kError), kError);
    EXPECT_EQ(com1.Command("ATS10", kError), kError);
    EXPECT_EQ(sim->Snapshot(1).s24, 7);
    EXPECT_EQ(sim->Snapshot(2).s24, 10); // registers are per unit
}

TEST_F(Protocol, ModeAndUartSettingsAreValidatedAndReported) {
    EXPECT_EQ(com1.Command("AT+BTMODE,4", kError), kError);
    EXPECT_EQ(com1.Command("AT+BTMODE,", kError), kError);
    EXPECT_EQ(com1.Command("AT+BTMODE,3"), kOk);
    EXPECT_EQ(StatusField(com1.Command("AT+BTINFO?"), 2), "MODE3");

    for (const char* bad :
         {"AT+UARTCONFIG,9601,N,1,1", "AT+UARTCONFIG,9600,X,1,1", "AT+UARTCONFIG,9600,N,3,1",
          "AT+UARTCONFIG,9600,N,1,2", "AT+UARTCONFIG,9600,N", "AT+UARTCONFIG,9600,N,1,1,1"}) {
        EXPECT_EQ(com1.Command(bad, kError), kError) << bad;
    }
    EXPECT_EQ(sim->Snapshot(1).stored, UartSetting{});
    EXPECT_EQ(com1.Command("AT+UARTCONFIG,38400,O,2,0"), kOk);
    EXPECT_EQ(StatusField(com1.Command("AT+BTINFO?"), 6), "NoFC");
    // The short form leaves flow control as it was.
    EXPECT_EQ(com1.Command("AT+UARTCONFIG,57600,E,1"), kOk);
    EXPECT_EQ(sim->Snapshot(1).stored, (UartSetting{57600, 'E', 1, false}));
    // Stored, not yet in effect: the unit still listens at 9600.
    EXPECT_EQ(sim->Snapshot(1).active, UartSetting{});
    EXPECT_EQ(com1.Command("AT"), kOk);

    // Pending: no mode change, no second scan, no inquiry, no dial.
    EXPECT_EQ(com1.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(com1.Command("AT+BTMODE,1", kError), kError);
    EXPECT_EQ(com1.Command("AT+BTSCAN,3,0", kError), kError);
    EXPECT_EQ(com1.Command("AT+BTINQ?", kError), kError);
    EXPECT_EQ(com1.Command(std::string("ATD") + kUnit2, kError), kError);
    EXPECT_EQ(com1.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(StatusField(com1.Command("AT+BTINFO?"), 3), "STANDBY");
    EXPECT_EQ(com1.Command("AT+BTMODE,1"), kOk);
    EXPECT_EQ(com1.Command("AT+BTSCAN,4,0", kError), kError);
    EXPECT_EQ(com1.Command("AT+BTSCAN,3", kError), kError);
}

TEST_F(Protocol, ScanEndsAfterItsTime) {
    EXPECT_EQ(com1.Command("AT+BTSCAN,3,1"), kOk);
    EXPECT_EQ(sim->Snapshot(1).link, LinkState::Pending);
    EXPECT_TRUE(Eventually([&] { return sim->Snapshot(1).link == LinkState::Standby; }));
}

TEST_F(Protocol, DialFailsOnBadAddressesAndUnreachableDevices) {
    // A malformed address fails before any OK.
    EXPECT_EQ(com2.Command("ATD12", kError), kError);
    EXPECT_EQ(com2.Command("ATD00A0961B2C0G", kError), kError);
    // Unit 1 not waiting: OK, then ERROR after a while.
    EXPECT_EQ(com2.Command(std::string("ATD") + kUnit1, std::string(kOk) + kError),
              std::string(kOk) + kError);
    // Discoverable but not connectable is not enough.
    EXPECT_EQ(com1.Command("AT+BTSCAN,1,0"), kOk);
    EXPECT_EQ(com2.Command(std::string("ATD") + kUnit1, std::string(kOk) + kError),
              std::string(kOk) + kError);
    EXPECT_EQ(sim->Snapshot(2).link, LinkState::Standby);
    EXPECT_EQ(sim->Snapshot(2).peer, "");
}

TEST_F(Protocol, CancelledDialAndInquiryEndWithoutFurtherReplies) {
    SimOptions o = FastOptions();
    o.timing.connectFailMs = 3000; // long enough that only the cancel can end them
    o.timing.inquiryMs = 3000;
    o.unit[0].startPending = true;
    Begin(o);
    EXPECT_EQ(com2.Command("ATD0011223344AA"), kOk);
    EXPECT_EQ(com2.Command("AT+BTCANCEL"), kOk);
    com2.Send("AT+BTINQ?\r");
    EXPECT_EQ(com2.ReadUntil("001F00\r\n"),
              std::string("\r\n") + kUnit1 + ",Norva-BX01,001F00\r\n");
    EXPECT_EQ(com2.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(com2.ReadFor(300), "");
    EXPECT_EQ(sim->Snapshot(2).link, LinkState::Standby);
}

TEST_F(Protocol, InquiryFindsOnlyADiscoverableUnit) {
    EXPECT_EQ(com2.Command("AT+BTINQ?"), kOk);
    EXPECT_EQ(com1.Command("AT+BTSCAN,2,0"), kOk); // connectable only
    EXPECT_EQ(com2.Command("AT+BTINQ?"), kOk);
    EXPECT_EQ(com1.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(com1.Command("AT+BTSCAN,1,0"), kOk);
    EXPECT_EQ(com2.Command("AT+BTINQ?"),
              std::string("\r\n") + kUnit1 + ",Norva-BX01,001F00\r\n" + kOk);
}

TEST_F(Protocol, DataModeCarriesBytesBothWaysAndEscapes) {
    Connect();
    EXPECT_EQ(sim->Snapshot(1).peer, kUnit2);
    EXPECT_EQ(sim->Snapshot(2).peer, kUnit1);
    // Commands and stray pluses are data now.
    const std::string payload = "AT\ra+b++c\x01\xff";
    com2.Send(payload);
    EXPECT_EQ(com1.ReadUntil("\xff"), payload);
    com1.Send("reply");
    EXPECT_EQ(com2.ReadUntil("reply"), "reply");
    // Pluses that turn out not to be an escape go through after the guard time.
    com2.Send("++");
    EXPECT_EQ(com1.ReadUntil("++"), "++");

    // "+++" and silence escapes as well as "+++\r".
    com2.Send("+++");
    EXPECT_EQ(com2.ReadUntil(kOk), kOk);
    EXPECT_EQ(StatusField(com2.Command("AT+BTINFO?"), 3), "CONNECT");
    EXPECT_EQ(com2.Command("ATO"), kOk);
    com2.Send("more");
    EXPECT_EQ(com1.ReadUntil("more"), "more");
    EXPECT_EQ(com2.Command("+++"), kOk);

    // Hanging up on one side tells both.
    EXPECT_EQ(com2.Command("ATH", "\r\nDISCONNECT\r\n"), std::string(kOk) + "\r\nDISCONNECT\r\n");
    EXPECT_EQ(com1.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    EXPECT_EQ(com1.Command("AT"), kOk);
    EXPECT_EQ(com2.Command("ATO", kError), kError);
    EXPECT_EQ(com2.Command("ATH"), kOk); // nothing to hang up
    EXPECT_EQ(com2.ReadFor(100), "");
}

TEST_F(Protocol, RestartPutsTheStoredUartIntoEffectAndDropsTheLink) {
    Connect();
    EXPECT_EQ(com1.Command("+++"), kOk);
    EXPECT_EQ(com1.Command("AT+UARTCONFIG,115200,N,2,1"), kOk);
    com1.Send("ATZ\r");
    // The peer loses the link; the OK after the restart comes at the new speed.
    EXPECT_EQ(com2.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    EXPECT_TRUE(Eventually([&] { return sim->Snapshot(1).restarts == 1; }));
    EXPECT_EQ(com1.ReadFor(100), "");
    EXPECT_EQ(com1.Command("AT", kOk, 300), "");
    ASSERT_TRUE(com1.SetLine(115200, 2));
    EXPECT_EQ(com1.Command("AT"), kOk);
    EXPECT_EQ(sim->Snapshot(1).active, (UartSetting{115200, 'N', 2, true}));
    EXPECT_EQ(sim->Snapshot(1).link, LinkState::Standby);
    EXPECT_EQ(sim->Snapshot(2).link, LinkState::Standby);
}

TEST_F(Protocol, RestartOfAPairedUnitReconnectsThePair) {
    Connect();
    EXPECT_EQ(com2.Command("+++"), kOk);
    EXPECT_EQ(com2.Command("AT+BTMODE,1"), kOk);
    EXPECT_EQ(com1.Command("+++"), kOk);
    EXPECT_EQ(com1.Command("AT+BTMODE,2"), kOk);
    ASSERT_TRUE(sim->GetVerdict().wouldAutoConnect);
    com1.Send("ATZ\r");
    EXPECT_EQ(com1.ReadUntil(std::string("\r\nCONNECT ") + kUnit2 + "\r\n"),
              std::string(kOk) + "\r\nCONNECT " + kUnit2 + "\r\n");
    EXPECT_EQ(sim->Snapshot(2).link, LinkState::Connected);
}

} // namespace
} // namespace norva::sim::test
