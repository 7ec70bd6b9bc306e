// The pair verifier against simulated units: what it proves, and every way it refuses to.
#include "flow/PairVerify.h"
#include "module/ModuleControl.h"
#include "module/Protocol.h"
#include "res/strings/StringTable.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

namespace norva::flow {
namespace {

using sim::LinkState;
using sim::SimOptions;
using sim::Simulator;

constexpr const char* kUnit1 = "00A0961B2C01";
constexpr const char* kUnit2 = "00A0961B2C02";

SimOptions Fast() {
    SimOptions o;
    o.timing.connectMs = 50;
    o.timing.connectFailMs = 300;
    o.timing.restartMs = 50;
    o.timing.escapeGuardMs = 200;
    return o;
}

// A short bound where the link is not expected: the tests that wait it out stay quick.
VerifyOptions ShortWait() {
    VerifyOptions o;
    o.linkTimeoutMs = 1500;
    o.restartBoundMs = 1000;
    return o;
}

UnitToVerify Unit(const Simulator& s, int unit, VerifyLine stored = {}) {
    UnitToVerify u;
    u.unit = unit;
    u.devicePath = s.DevicePath(unit);
    u.stored = stored;
    u.partner = unit == 1 ? kUnit2 : kUnit1;
    return u;
}

std::vector<UnitToVerify> BothUnits(const Simulator& s, VerifyLine stored = {}) {
    return {Unit(s, 1, stored), Unit(s, 2, stored)};
}

// Stores a UART setting the way the wizard's apply does: it takes effect at the next restart.
void StoreUart(const std::string& path, int baud, int stopBits) {
    CModuleControl m(nullptr);
    ASSERT_EQ(m.OpenPortPath(path, 9600, kOneStopBit, kNoParity), 1);
    m.TalkDirectly();
    EXPECT_EQ(m.SetUartConfig(2000, baud, kNoParity, stopBits, 1), RC_OK);
    m.ClosePort();
}

std::vector<VerifyOutcome> Outcomes(const VerifyResult& r) {
    std::vector<VerifyOutcome> out;
    for (const UnitVerifyResult& u : r.units) {
        out.push_back(u.outcome);
    }
    return out;
}

class PairVerify : public ::testing::Test {
protected:
    void SetUp() override { SetUiLanguage(UiLanguage::English); }
};

TEST_F(PairVerify, ConfiguredPairVerifiesOnTwoPortsAndLeavesThePortsFree) {
    SimOptions o = Fast();
    o.startPaired = true;
    Simulator s(o);
    ASSERT_TRUE(s.Start(nullptr));
    std::vector<std::pair<int, VerifyStep>> steps;
    VerifyResult r = VerifyPair(BothUnits(s), nullptr, [&steps](int unit, VerifyStep step) {
        steps.emplace_back(unit, step);
    });
    ASSERT_TRUE(r.Verified()) << DescribeVerifyResult(r);
    EXPECT_EQ(r.units[0].linkedTo, kUnit2);
    EXPECT_EQ(r.units[1].linkedTo, kUnit1);
    EXPECT_EQ(s.Snapshot(1).link, LinkState::Connected);
    // One restart per unit at most (the simulator's unit 2 may link before its ATZ, which then
    // goes over the air), and the link is proved without asking a linked unit anything.
    EXPECT_EQ(s.Snapshot(1).restarts, 1);
    EXPECT_LE(s.Snapshot(2).restarts, 1);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), std::make_pair(1, VerifyStep::Resetting)), 1);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), std::make_pair(2, VerifyStep::Checking)), 0);
    EXPECT_EQ(steps.back().second, VerifyStep::Finished);
    const std::string text = DescribeVerifyResult(r);
    EXPECT_NE(text.find("Verified"), std::string::npos) << text;
    EXPECT_NE(text.find("Norva-BX02 (" + s.DevicePath(2) + "): verified, linked with " + kUnit1),
              std::string::npos)
        << text;
    for (int unit : {1, 2}) {
        CModuleControl again(nullptr);
        EXPECT_EQ(again.OpenPortPath(s.DevicePath(unit), 9600, kOneStopBit, kNoParity), 1);
    }
}

// Boot times are undocumented: a unit deaf for seconds after ATZ is still a good unit, and the
// time it took is measured.
TEST_F(PairVerify, UnitsThatBootSlowlyVerifyWithinTheirBound) {
    SimOptions o = Fast();
    o.startPaired = true;
    o.timing.restartMs = 2000;
    Simulator s(o);
    ASSERT_TRUE(s.Start(nullptr));
    VerifyResult r = VerifyPair(BothUnits(s), nullptr);
    ASSERT_TRUE(r.Verified()) << DescribeVerifyResult(r);
    EXPECT_GE(r.units[0].restartMs, 2000);
}

// Units that do not name their partner, or say nothing at all of their link: data sent through
// the link proves it.
TEST_F(PairVerify, UnannouncedLinksAreProvedByData) {
    SimOptions o = Fast();
    o.startPaired = true;
    for (sim::UnitOptions& u : o.unit) {
        u.connectReply = sim::ConnectReply::Bare;
        u.announceAutoLink = false;
    }
    Simulator s(o);
    ASSERT_TRUE(s.Start(nullptr));
    VerifyResult r = VerifyPair(BothUnits(s), nullptr);
    ASSERT_TRUE(r.Verified()) << DescribeVerifyResult(r);
    EXPECT_EQ(r.units[0].linkedTo, kUnit2);
}

TEST_F(PairVerify, StoredUartTakesEffectAtTheRestartAndIsWhereTheUnitIsChecked) {
    SimOptions o = Fast();
    o.startPaired = true;
    Simulator s(o);
    ASSERT_TRUE(s.Start(nullptr));
    StoreUart(s.DevicePath(1), 115200, kTwoStopBits);
    StoreUart(s.DevicePath(2), 115200, kTwoStopBits);
    const VerifyLine stored{115200, kNoParity, kTwoStopBits};
    VerifyResult r = VerifyPair(BothUnits(s, stored), nullptr);
    ASSERT_TRUE(r.Verified()) << DescribeVerifyResult(r);
    EXPECT_EQ(s.Snapshot(1).active.baud, 115200);
    EXPECT_EQ(s.Snapshot(2).active.stopBits, 2);

    // The caller's idea of the stored setting is wrong: the unit is silent there.
    SimOptions plain = Fast();
    plain.startPaired = true;
    Simulator t(plain);
    ASSERT_TRUE(t.Start(nullptr));
    r = VerifyPair({Unit(t, 1, stored)}, nullptr, {}, ShortWait());
    EXPECT_EQ(Outcomes(r), std::vector{VerifyOutcome::NoAnswer});
    EXPECT_NE(DescribeUnitResult(r.units[0]).find("no answer at the UART setting just stored"),
              std::string::npos);
}

// One cable: unit 2 cannot be restarted from the port, so a person switches it off and on when
// asked, and the link is awaited on unit 1's port.
TEST_F(PairVerify, OnePortAsksForThePartnersPowerCycle) {
    SimOptions o = Fast();
    o.startPaired = true;
    o.onePort = true;
    o.unit[1].startOff = true;
    Simulator s(o);
    ASSERT_TRUE(s.Start(nullptr));
    VerifyOptions options;
    std::vector<VerifyStep> steps;
    options.askPartnerPowerCycle = [&s, &steps] {
        EXPECT_EQ(steps.back(), VerifyStep::WaitingForPartner);
        return s.SetPower(2, true);
    };
    VerifyResult r = VerifyPair(
        {Unit(s, 1)}, nullptr, [&steps](int, VerifyStep step) { steps.push_back(step); }, options);
    ASSERT_TRUE(r.Verified()) << DescribeVerifyResult(r);
    EXPECT_EQ(r.units[0].linkedTo, kUnit2);

    // Nobody switched it on: the link never comes; a refused prompt cancels.
    Simulator t(o);
    ASSERT_TRUE(t.Start(nullptr));
    options.askPartnerPowerCycle = [] { return true; };
    options.powerCycleTimeoutMs = 1000;
    r = VerifyPair({Unit(t, 1)}, nullptr, {}, options);
    EXPECT_EQ(Outcomes(r), std::vector{VerifyOutcome::LinkNotUp});
    options.askPartnerPowerCycle = [] { return false; };
    r = VerifyPair({Unit(t, 1)}, nullptr, {}, options);
    EXPECT_EQ(Outcomes(r), std::vector{VerifyOutcome::Cancelled});
}

TEST_F(PairVerify, UnitsThatDoNotLinkWithTheirPartnerAreNotVerified) {
    Simulator unconfigured(Fast());
    ASSERT_TRUE(unconfigured.Start(nullptr));
    VerifyResult r = VerifyPair(BothUnits(unconfigured), nullptr, {}, ShortWait());
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::LinkNotUp, VerifyOutcome::LinkNotUp}));
    EXPECT_EQ(r.units[0].mode, 0);
    EXPECT_NE(DescribeUnitResult(r.units[0]).find("within 2 s (the unit reports mode 0)"),
              std::string::npos)
        << DescribeUnitResult(r.units[0]);

    SimOptions o = Fast();
    o.startPaired = true;
    o.unit[1].startOff = true;
    Simulator unit2Off(o);
    ASSERT_TRUE(unit2Off.Start(nullptr));
    r = VerifyPair(BothUnits(unit2Off), nullptr, {}, ShortWait());
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::LinkNotUp, VerifyOutcome::NoAnswer}));

    // Linked, but with someone else than the partner the caller expects.
    o.unit[1].startOff = false;
    Simulator paired(o);
    ASSERT_TRUE(paired.Start(nullptr));
    std::vector<UnitToVerify> units = BothUnits(paired);
    units[0].partner = "00a0961b2c09";
    units[1].partner = "00:A0:96:1B:2C:01"; // the way a user may type it: still the partner
    r = VerifyPair(units, nullptr);
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::WrongPartner, VerifyOutcome::Verified}));
    EXPECT_NE(DescribeUnitResult(r.units[0])
                  .find("linked with 00A0961B2C02, not with its "
                        "partner 00a0961b2c09"),
              std::string::npos);
}

TEST_F(PairVerify, UnplugCancelAndAMissingPortEndTheCheckWithTheirReason) {
    Simulator s(Fast()); // never links: the verifier waits
    ASSERT_TRUE(s.Start(nullptr));
    VerifyResult r = VerifyPair(BothUnits(s), nullptr, [&s](int unit, VerifyStep step) {
        if (unit == 2 && step == VerifyStep::WaitingForLink) {
            s.Unplug(1);
        }
    });
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::DeviceGone, VerifyOutcome::LinkNotUp}));
    EXPECT_FALSE(r.units[0].detail.empty());
    ASSERT_TRUE(s.Replug(1));

    Event stop(Event::Mode::Manual);
    r = VerifyPair(BothUnits(s), &stop, [&stop](int unit, VerifyStep step) {
        if (unit == 2 && step == VerifyStep::WaitingForLink) {
            stop.Set();
        }
    });
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::Cancelled, VerifyOutcome::Cancelled}));

    // Cancelled while the first unit restarts: nothing more is begun.
    stop.Reset();
    std::vector<VerifyStep> unit2Steps;
    r = VerifyPair(BothUnits(s), &stop, [&stop, &unit2Steps](int unit, VerifyStep step) {
        if (unit == 1 && step == VerifyStep::Resetting) {
            stop.Set();
        }
        if (unit == 2) {
            unit2Steps.push_back(step);
        }
    });
    EXPECT_EQ(Outcomes(r), (std::vector{VerifyOutcome::Cancelled, VerifyOutcome::Cancelled}));
    EXPECT_EQ(unit2Steps, std::vector{VerifyStep::Finished});

    UnitToVerify missing;
    missing.devicePath = "/dev/norva-verify-missing";
    missing.partner = kUnit2;
    r = VerifyPair({missing}, nullptr);
    EXPECT_EQ(Outcomes(r), std::vector{VerifyOutcome::CannotOpen});
    EXPECT_FALSE(r.Verified());
    EXPECT_FALSE(VerifyResult{}.Verified());
}

} // namespace
} // namespace norva::flow
