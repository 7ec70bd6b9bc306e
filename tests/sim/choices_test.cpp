// The choices a real module may make either way: each switch changes what the computer sees on
// the wire, only on the unit it was given to, and the defaults keep the simulator's own choices.
#include "SimTestUtil.h"
#include "sim/CommandLine.h"
#include "sim/ModuleProfiles.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

const std::string kStatus1 = std::string("\r\n") + kUnit1 + ",Norva-BX01,";
const std::string kConnect1 = std::string("\r\nCONNECT ") + kUnit1 + "\r\n";
const std::string kConnect2 = std::string("\r\nCONNECT ") + kUnit2 + "\r\n";
const std::string kBareConnect = "\r\nCONNECT\r\n";

std::string Mode(PtyClient& port) {
    return StatusField(port.Command("AT+BTINFO?"), 2);
}
std::string Link(PtyClient& port) {
    return StatusField(port.Command("AT+BTINFO?"), 3);
}
std::string Flow(PtyClient& port) {
    return StatusField(port.Command("AT+BTINFO?"), 6);
}

// After ATZ the unit is deaf for its restart; its OK says it listens again.
void Restart(PtyClient& port) {
    const std::string reply = port.Command("ATZ");
    EXPECT_EQ(reply.substr(reply.size() - std::string(kOk).size()), kOk) << reply;
}

TEST(Choices, StatusShowsModeAndFlowStoredOrInForceEachOnItsOwn) {
    SimOptions o = FastOptions();
    o.unit[0].statusMode = StatusShows::InForce;
    o.unit[0].statusFlow = StatusShows::InForce;
    o.unit[1].statusFlow = StatusShows::InForce; // unit 2 shows its mode at once
    Rig rig(o);
    for (PtyClient* port : {&rig.com1, &rig.com2}) {
        EXPECT_EQ(port->Command("AT+BTMODE,2"), kOk);
        EXPECT_EQ(port->Command("AT+UARTCONFIG,9600,N,1,0"), kOk);
    }
    EXPECT_EQ(Mode(rig.com1), "MODE0");
    EXPECT_EQ(Flow(rig.com1), "HWFC");
    EXPECT_EQ(Mode(rig.com2), "MODE2");
    EXPECT_EQ(Flow(rig.com2), "HWFC");
    EXPECT_EQ(rig.sim.Snapshot(1).mode, 2);
    EXPECT_EQ(rig.sim.Snapshot(1).modeInForce, 0);
    Restart(rig.com1);
    Restart(rig.com2);
    EXPECT_EQ(Mode(rig.com1), "MODE2");
    EXPECT_EQ(Flow(rig.com1), "NoFC");
    EXPECT_EQ(Flow(rig.com2), "NoFC");
    EXPECT_EQ(rig.sim.Snapshot(1).modeInForce, 2);

    // The default shows what was stored at once.
    Rig plain(FastOptions());
    EXPECT_EQ(plain.com1.Command("AT+BTMODE,1"), kOk);
    EXPECT_EQ(plain.com1.Command("AT+UARTCONFIG,9600,N,1,0"), kOk);
    EXPECT_EQ(Mode(plain.com1), "MODE1");
    EXPECT_EQ(Flow(plain.com1), "NoFC");
}

// A unit stores the catalogue's rates; a later module's faster ones only with --later-rates.
TEST(Choices, RatesBeyondTheCatalogueAreStoredOnlyByALaterModule) {
    SimOptions o = FastOptions();
    o.unit[1].laterRates = true;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,230400,N,1,0"), kOk);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,460800,N,1,0", kError), kError);
    EXPECT_EQ(rig.com2.Command("AT+UARTCONFIG,921600,N,1,0"), kOk);
    EXPECT_EQ(rig.sim.Snapshot(2).stored.baud, 921600);
    rig.sim.Stop();
}

TEST(Choices, UartAppliedAtOnceSwitchesAfterItsOkLeftAtTheOldSetting) {
    const std::string trace =
        ::testing::TempDir() + "sim_choices_uart_" + std::to_string(getpid()) + ".jsonl";
    SimOptions o = FastOptions();
    o.tracePath = trace;
    o.unit[0].uartApplies = UartApplies::AtOnce;
    o.unit[0].chunkBytes = 2; // the OK leaves in pieces: all of them before the switch
    o.unit[0].chunkGapMs = 10;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,115200,E,2,0"), kOk);
    ASSERT_TRUE(Eventually([&] { return rig.sim.Snapshot(1).active.baud == 115200; }));
    EXPECT_EQ(rig.sim.Snapshot(1).active, (UartSetting{115200, 'E', 2, false}));
    EXPECT_EQ(rig.com1.Command("AT", kOk, 300), ""); // the old setting is heard no more
    ASSERT_TRUE(rig.com1.SetLine(115200, 2));
    EXPECT_EQ(rig.com1.Command("AT"), kOk);
    EXPECT_EQ(Flow(rig.com1), "NoFC");

    // Unit 2 keeps the default: its new setting waits for the restart.
    EXPECT_EQ(rig.com2.Command("AT+UARTCONFIG,115200,E,2,0"), kOk);
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    EXPECT_EQ(rig.sim.Snapshot(2).active, UartSetting{});
    rig.com2.Send("ATZ\r");
    ASSERT_TRUE(Eventually([&] { return rig.sim.Snapshot(2).restarts == 1; }));
    ASSERT_TRUE(rig.com2.SetLine(115200, 2));
    EXPECT_EQ(rig.com2.Command("AT"), kOk);
    rig.sim.Stop();

    std::ifstream in(trace);
    std::remove(trace.c_str());
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t inEffect = all.find("\"unit\":1,\"event\":\"UART in effect\"");
    ASSERT_NE(inEffect, std::string::npos) << all;
    // Every piece of the OK went out before the switch; the next output answers the next command.
    EXPECT_LT(all.find("\"unit\":1,\"dir\":\"in\"", inEffect),
              all.find("\"unit\":1,\"dir\":\"out\"", inEffect))
        << all;
    EXPECT_EQ(all.find("\"unit\":1,\"dir\":\"lost\""), std::string::npos) << all;
    EXPECT_EQ(all.find("\"unit\":2,\"event\":\"UART in effect\""), std::string::npos);
}

TEST(Choices, EchoFormsAsAModuleMaySendThem) {
    struct Case {
        EchoForm form;
        std::string reply; // to "AT\r"
    };
    for (const Case& c :
         {Case{EchoForm::Line, "AT\r\r\nOK\r\n"}, Case{EchoForm::NoCr, "AT\r\nOK\r\n"},
          Case{EchoForm::CrLf, "AT\r\n\r\nOK\r\n"}, Case{EchoForm::Typed, "AT\r\r\nOK\r\n"}}) {
        SimOptions o = FastOptions();
        o.unit[0].echo = true;
        o.unit[0].echoForm = c.form;
        Rig rig(o);
        EXPECT_EQ(rig.com1.Command("AT"), c.reply) << static_cast<int>(c.form);
        EXPECT_EQ(rig.com2.Command("AT"), kOk);
    }
    // Typed echo comes byte by byte, before the command is complete, LF and empty lines included.
    SimOptions o = FastOptions();
    o.unit[0].echo = true;
    o.unit[0].echoForm = EchoForm::Typed;
    Rig rig(o);
    rig.com1.Send("AT+BT");
    EXPECT_EQ(rig.com1.ReadUntil("AT+BT"), "AT+BT");
    EXPECT_EQ(rig.com1.Command("CANCEL\n"), "CANCEL\n\r\r\nOK\r\n");
    EXPECT_EQ(rig.com1.Command("", "\r"), "\r");
}

TEST(Choices, LineGapHoldsTheOkBackBehindTheLineBeforeIt) {
    SimOptions o = FastOptions();
    o.unit[0].lineGapMs = 1000;
    Rig rig(o);
    rig.com1.Send("AT+BTINFO?\r");
    const std::string line = rig.com1.ReadUntil("HWFC\r\n");
    EXPECT_EQ(line.find("OK"), std::string::npos) << line;
    EXPECT_EQ(line.substr(0, kStatus1.size()), kStatus1);
    EXPECT_EQ(rig.com1.ReadUntil(kOk), kOk);
    rig.com1.Send("ATS24?\r");
    EXPECT_EQ(rig.com1.ReadUntil("10\r\n"), "\r\n10\r\n");
    EXPECT_EQ(rig.com1.ReadUntil(kOk), kOk);
}

TEST(Choices, ConnectRepliesBareOrWithTheAddressPerUnit) {
    SimOptions o = FastOptions();
    o.unit[1].connectReply = ConnectReply::Bare;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kBareConnect),
              std::string(kOk) + kBareConnect);
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);

    // At an automatic link after a restart as well.
    SimOptions paired = FastOptions();
    paired.startPaired = true;
    paired.unit[0].connectReply = ConnectReply::Bare;
    paired.unit[1].connectReply = ConnectReply::Bare;
    Rig auto_(paired);
    auto_.com1.Send("ATZ\r");
    EXPECT_EQ(auto_.com2.ReadUntil(kBareConnect), kBareConnect);
    EXPECT_EQ(auto_.com1.ReadUntil(kBareConnect), std::string(kOk) + kBareConnect);
}

TEST(Choices, AnAutomaticLinkMayGoUnannounced) {
    SimOptions o = FastOptions();
    o.startPaired = true;
    o.unit[1].announceAutoLink = false;
    Rig rig(o);
    rig.com1.Send("ATZ\r");
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), std::string(kOk) + kConnect2);
    ASSERT_TRUE(Eventually([&] { return rig.sim.Snapshot(2).link == LinkState::Connected; }));
    // Whatever unit 2 said since the link came up stands before the escape's OK.
    EXPECT_EQ(rig.com2.Command("+++"), kOk);
    EXPECT_EQ(Link(rig.com2), "CONNECT");

    // A dialled link is announced all the same.
    EXPECT_EQ(rig.com2.Command("ATH", "\r\nDISCONNECT\r\n"),
              std::string(kOk) + "\r\nDISCONNECT\r\n");
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0", kOk), std::string("\r\nDISCONNECT\r\n") + kOk);
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kConnect1),
              std::string(kOk) + kConnect1);
}

TEST(Choices, HangupWithoutALinkAnsweredOkOrError) {
    SimOptions o = FastOptions();
    o.unit[0].hangupIdle = HangupIdle::Error;
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("ATH", kError), kError);
    EXPECT_EQ(rig.com2.Command("ATH"), kOk);
    // With a link both say OK and hang up.
    EXPECT_EQ(rig.com2.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(rig.com1.Command(std::string("ATD") + kUnit2, kConnect2),
              std::string(kOk) + kConnect2);
    EXPECT_EQ(rig.com2.ReadUntil(kConnect1), kConnect1);
    EXPECT_EQ(rig.com1.Command("+++"), kOk);
    EXPECT_EQ(rig.com1.Command("ATH", "\r\nDISCONNECT\r\n"),
              std::string(kOk) + "\r\nDISCONNECT\r\n");
}

TEST(Choices, IdleWordStandsOnlyForTheIdleLinkState) {
    SimOptions o = FastOptions();
    o.unit[0].idleWord = IdleWord::Idle;
    Rig rig(o);
    EXPECT_EQ(Link(rig.com1), "IDLE");
    EXPECT_EQ(Link(rig.com2), "STANDBY");
    EXPECT_EQ(rig.com1.Command("AT+BTSCAN,3,0"), kOk);
    EXPECT_EQ(Link(rig.com1), "PENDING");
    EXPECT_EQ(rig.com2.Command(std::string("ATD") + kUnit1, kConnect1),
              std::string(kOk) + kConnect1);
    EXPECT_EQ(rig.com1.ReadUntil(kConnect2), kConnect2);
    EXPECT_EQ(rig.com1.Command("+++"), kOk);
    EXPECT_EQ(Link(rig.com1), "CONNECT");
}

TEST(Choices, ProfilesSetChoicesAndSwitchesOverrideThemWhereverTheyStand) {
    UnitOptions strict;
    ASSERT_TRUE(ApplyModuleProfile("strict", &strict));
    EXPECT_EQ(strict.statusMode, StatusShows::InForce);
    EXPECT_EQ(strict.statusFlow, StatusShows::InForce);
    EXPECT_EQ(strict.uartApplies, UartApplies::AtRestart);
    EXPECT_EQ(strict.connectReply, ConnectReply::Bare);
    EXPECT_TRUE(strict.echo);
    EXPECT_FALSE(ApplyModuleProfile("lenient", &strict));
    ASSERT_TRUE(ApplyModuleProfile("default", &strict));
    EXPECT_EQ(strict.statusMode, StatusShows::Stored);
    EXPECT_FALSE(strict.echo);

    CommandLine cl;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--unit2-status-flow", "stored", "--module-profile", "strict",
                                  "--unit2-module-profile", "at-once", "--unit1-idle-word", "IDLE",
                                  "--hangup-idle", "error", "--line-gap", "20"},
                                 &cl, &error))
        << error;
    const UnitOptions& u1 = cl.sim.unit[0];
    const UnitOptions& u2 = cl.sim.unit[1];
    EXPECT_EQ(u1.statusFlow, StatusShows::InForce);
    EXPECT_EQ(u1.connectReply, ConnectReply::Bare);
    EXPECT_EQ(u1.idleWord, IdleWord::Idle);
    EXPECT_EQ(u2.statusFlow, StatusShows::Stored);
    EXPECT_EQ(u2.statusMode, StatusShows::Stored); // at-once came after strict for unit 2
    EXPECT_EQ(u2.uartApplies, UartApplies::AtOnce);
    EXPECT_EQ(u2.idleWord, IdleWord::Standby);
    for (const UnitOptions& u : cl.sim.unit) {
        EXPECT_EQ(u.hangupIdle, HangupIdle::Error);
        EXPECT_EQ(u.lineGapMs, 20);
    }
    ASSERT_TRUE(ParseCommandLine({"--unit1-echo-form", "no-cr", "--connect-reply", "bare",
                                  "--unit2-auto-link-announce", "no", "--status-mode", "in-force"},
                                 &cl, &error))
        << error;
    EXPECT_TRUE(cl.sim.unit[0].echo);
    EXPECT_EQ(cl.sim.unit[0].echoForm, EchoForm::NoCr);
    EXPECT_FALSE(cl.sim.unit[1].echo);
    EXPECT_TRUE(cl.sim.unit[0].announceAutoLink);
    EXPECT_FALSE(cl.sim.unit[1].announceAutoLink);
    EXPECT_EQ(cl.sim.unit[1].statusMode, StatusShows::InForce);
    ASSERT_TRUE(
        ParseCommandLine({"--unit2-echo-form", "none", "--module-profile", "strict"}, &cl, &error))
        << error;
    EXPECT_TRUE(cl.sim.unit[0].echo);
    EXPECT_FALSE(cl.sim.unit[1].echo);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--module-profile", "lenient"},
                                               {"--status-flow", "later"},
                                               {"--uart-applies"},
                                               {"--idle-word", "idle"},
                                               {"--unit3-hangup-idle", "ok"},
                                               {"--echo-form", "loud"},
                                               {"--line-gap", "-1"}}) {
        EXPECT_FALSE(ParseCommandLine(bad, &cl, &error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
    EXPECT_FALSE(ParseCommandLine({"--unit1-module-profile", "lenient"}, &cl, &error));
    EXPECT_NE(error.find("default|strict|at-once"), std::string::npos) << error;
}

// The strict profile end to end: what a pairing's read-back sees right after storing.
TEST(Choices, StrictUnitShowsTheOldSettingsUntilItsRestart) {
    SimOptions o = FastOptions();
    ASSERT_TRUE(ApplyModuleProfile("strict", &o.unit[0]));
    Rig rig(o);
    EXPECT_EQ(rig.com1.Command("AT+BTMODE,2"), std::string("AT+BTMODE,2\r") + kOk);
    EXPECT_EQ(rig.com1.Command("AT+UARTCONFIG,9600,N,1,0"),
              std::string("AT+UARTCONFIG,9600,N,1,0\r") + kOk);
    const std::string info = rig.com1.Command("AT+BTINFO?");
    EXPECT_EQ(StatusField(info, 2), "MODE0");
    EXPECT_EQ(StatusField(info, 6), "HWFC");
    Restart(rig.com1);
    EXPECT_EQ(Mode(rig.com1), "MODE2");
    EXPECT_EQ(Flow(rig.com1), "NoFC");
}

} // namespace
} // namespace norva::sim::test
