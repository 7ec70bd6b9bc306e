// Each injected fault changes what the computer sees, and only on the unit it was given to.
#include "SimTestUtil.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

TEST(Faults, OldFirmwareHasSixStatusFieldsAndOnlyTheShortUartForm) {
    SimOptions o = FastOptions();
    o.unit[1].oldFirmware = true;
    Rig rig(o);
    std::string info = rig.com2.Command("AT+BTINFO?");
    EXPECT_EQ(info, std::string("\r\n") + kUnit2 + ",Norva-BX02,MODE0,STANDBY,0,0\r\n" + kOk);
    EXPECT_EQ(rig.com2.Command("AT+UARTCONFIG,19200,N,1,0", kError), kError);
    EXPECT_EQ(rig.com2.Command("AT+UARTCONFIG,19200,N,1"), kOk);
    EXPECT_EQ(rig.sim.Snapshot(2).stored, (UartSetting{19200, 'N', 1, true}));
    EXPECT_EQ(StatusFields(rig.com1.Command("AT+BTINFO?")).size(), 7u);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,19200,N,1,0"), kOk);
}

// The unit that acknowledges and forgets: OK, yet the status line still shows the old value.
TEST(Faults, KeepModeAndKeepFlowAcknowledgeButKeepTheOldValue) {
    SimOptions o = FastOptions();
    o.unit[0].keepMode = true;
    o.unit[0].keepFlow = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,2"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,19200,E,1,0"), kOk);
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 2), "MODE0");
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 6), "HWFC");
    EXPECT_EQ(rig.sim.Snapshot(1).stored, (UartSetting{19200, 'E', 1, true}));
    // The other unit stores both.
    EXPECT_EQ(rig.com2.Command("AT+BTMODE,1"), kOk);
    EXPECT_EQ(rig.com2.Command("AT+UARTCONFIG,19200,E,1,0"), kOk);
    EXPECT_EQ(StatusField(rig.com2.Command("AT+BTINFO?"), 2), "MODE1");
    EXPECT_EQ(StatusField(rig.com2.Command("AT+BTINFO?"), 6), "NoFC");
}

TEST(Faults, ResponsesOffSuppressesOnlyResultLines) {
    SimOptions o = FastOptions();
    o.unit[0].responsesOff = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.com1.Command("ATS10?", kOk, 300), "\r\n0\r\n");
    std::string info = rig.com1.Command("AT+BTINFO?", kOk, 300);
    EXPECT_EQ(StatusFields(info).size(), 7u);
    EXPECT_EQ(info.find("OK"), std::string::npos);
    // Switching them on is answered already.
    EXPECT_EQ(rig.com1.Command("ATS10=1"), kOk);
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
}

TEST(Faults, StartPendingIsDiscoverableAndRefusesAModeChange) {
    SimOptions o = FastOptions();
    o.unit[0].startPending = true;
    Rig rig(o);
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 3), "PENDING");
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,2", kError), kError);
    EXPECT_NE(rig.com2.Command("AT+BTINQ?").find(kUnit1), std::string::npos);
    EXPECT_EQ(rig.com1.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,2"), kOk);
    EXPECT_EQ(StatusField(rig.com2.Command("AT+BTINFO?"), 3), "STANDBY");
}

TEST(Faults, StartConnectedLinksBothUnitsInDataMode) {
    SimOptions o = FastOptions();
    o.unit[0].startConnected = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), "");
    EXPECT_EQ(rig.com2.ReadUntil("AT\r"), "AT\r");
    EXPECT_EQ(rig.com1.Command("+++"), kOk);
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 3), "CONNECT");
    EXPECT_TRUE(rig.sim.Snapshot(2).dataMode);
    EXPECT_EQ(rig.sim.GetVerdict().unit[0].peerUnit, 2);
    EXPECT_EQ(rig.sim.GetVerdict().unit[1].peerUnit, 1);
}

TEST(Faults, StartModeAndIdentityOptions) {
    SimOptions o = FastOptions();
    o.unit[0].startMode = 3;
    o.unit[1].startMode = 1;
    o.unit[1].address = "a1b2c3d4e5f6";
    o.unit[1].name = "Bench unit";
    o.unit[1].flag5 = true;
    o.unit[1].uart = UartSetting{9600, 'E', 1, false};
    Rig rig(o);
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 2), "MODE3");
    EXPECT_EQ(rig.com2.Command("AT+BTINFO?"),
              std::string("\r\nA1B2C3D4E5F6,Bench unit,MODE1,STANDBY,1,0,NoFC\r\n") + kOk);
}

TEST(Faults, SilentUnitHearsAndSaysNothing) {
    SimOptions o = FastOptions();
    o.unit[0].silent = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT", kOk, 400), "");
    EXPECT_EQ(rig.sim.Snapshot(1).commands, 0);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
}

TEST(Faults, NoScanReplySwallowsOnlyTheScan) {
    SimOptions o = FastOptions();
    o.unit[0].noScanReply = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,30", kOk, 500), "");
    EXPECT_EQ(rig.sim.Snapshot(1).lastCommand, "AT+BTSCAN,3,30");
    EXPECT_EQ(StatusField(rig.com1.Command("AT+BTINFO?"), 3), "STANDBY");
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,2"), kOk);
    EXPECT_EQ(rig.com2.Command("AT+BTSCAN,3,30"), kOk);
}

TEST(Faults, ChunkedRepliesLeaveInPieces) {
    const std::string trace =
        ::testing::TempDir() + "sim_chunk_trace_" + std::to_string(getpid()) + ".jsonl";
    SimOptions o = FastOptions();
    o.unit[0].chunkBytes = 4;
    o.unit[0].chunkGapMs = 20;
    o.tracePath = trace;
    Rig rig(o);
    std::string info = rig.com1.Command("AT+BTINFO?");
    EXPECT_EQ(StatusFields(info).size(), 7u);
    EXPECT_EQ(info.substr(info.size() - 6), kOk);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    rig.sim.Stop();
    std::ifstream in(trace);
    std::remove(trace.c_str());
    int unit1Out = 0;
    int unit2Out = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"dir\":\"out\"") == std::string::npos) {
            continue;
        }
        if (line.find("\"unit\":1") != std::string::npos) {
            ++unit1Out;
        } else {
            ++unit2Out;
        }
    }
    // The status line and the OK line are cut separately, 4 bytes to a piece.
    const size_t statusLine = info.size() - 6;
    EXPECT_EQ(unit1Out, static_cast<int>((statusLine + 3) / 4 + 2));
    EXPECT_EQ(unit2Out, 1);
}

TEST(Faults, EchoSendsTheCommandBackUnframed) {
    SimOptions o = FastOptions();
    o.unit[1].echo = true;
    Rig rig(o);
    EXPECT_EQ(rig.com2.Command("AT"), std::string("AT\r") + kOk);
    EXPECT_EQ(rig.com2.Command("ATS24?"), std::string("ATS24?\r\r\n10\r\n") + kOk);
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
}

TEST(Faults, NoiseSurroundsRepliesWithoutBreakingTheirFrames) {
    SimOptions o = FastOptions();
    o.unit[0].noise = true;
    Rig rig(o);
    for (int i = 0; i < 3; ++i) {
        std::string r = rig.com1.Command("AT", "~?\r");
        EXPECT_NE(r, kOk);
        EXPECT_NE(r.find(kOk), std::string::npos) << r;
        EXPECT_EQ(r.substr(r.size() - 3), "~?\r");
        EXPECT_LT(r.size(), 30u); // within what the wizard's probe accumulates
    }
    std::string info = rig.com1.Command("AT+BTINFO?", "~?\r");
    EXPECT_EQ(StatusFields(info).size(), 7u) << info;
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
}

TEST(Faults, NeighboursShowUpInAnInquiryWithACommaInOneName) {
    SimOptions o = FastOptions();
    o.unit[1].neighbours = 3;
    o.unit[0].startPending = true;
    Rig rig(o);
    std::string found = rig.com2.Command("AT+BTINQ?");
    EXPECT_EQ(Count(found, "\r\n00A0960000"), 3) << found;
    EXPECT_NE(found.find(std::string("\r\n") + kUnit1 + ","), std::string::npos);
    EXPECT_NE(found.find(",Printer, 2nd floor,"), std::string::npos);
    // Register 24 caps the count.
    EXPECT_EQ(rig.com2.Command("ATS24=2"), kOk);
    found = rig.com2.Command("AT+BTINQ?");
    EXPECT_EQ(Count(found, "\r\n00A0"), 2) << found;
    // Only unit 2 was given neighbours.
    EXPECT_EQ(rig.com1.Command("AT+BTCANCEL"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+BTINQ?"), kOk);
}

TEST(Faults, ReplyDelayHoldsEachReply) {
    SimOptions o = FastOptions();
    o.unit[0].replyDelayMs = 300;
    Rig rig(o);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    EXPECT_EQ(rig.com1.Command("AT", kOk, 100), ""); // not yet
    EXPECT_EQ(rig.com1.ReadUntil(kOk), kOk);
}

} // namespace
} // namespace norva::sim::test
