// Pulling a unit's adapter and plugging it back, as the computer sees it through the stable links.
#include "SimTestUtil.h"

#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace norva::sim::test {
namespace {

std::string LinkTarget(const std::string& link) {
    char buf[PATH_MAX] = {};
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void UnplugAndReplug(bool notifyOpens) {
    LinkDir dir;
    SimOptions o = FastOptions();
    o.notifyOpens = notifyOpens;
    o.linkDir = dir.path;
    o.unit[0].startConnected = true;
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const std::string link = dir.path + "/unit2";
    EXPECT_EQ(sim.LinkPath(2), link);
    EXPECT_EQ(sim.LinkPath(1), dir.path + "/unit1");
    EXPECT_EQ(LinkTarget(link), sim.DevicePath(2));
    const std::string before = sim.DevicePath(2);

    PtyClient com1;
    PtyClient old;
    ASSERT_TRUE(com1.Open(sim.LinkPath(1)));
    ASSERT_TRUE(old.Open(link));
    EXPECT_EQ(old.Command("+++"), kOk);

    // The computer's side of the pulled adapter hangs up; the partner loses the link.
    ASSERT_TRUE(sim.Unplug(2));
    EXPECT_FALSE(sim.Unplug(2));
    EXPECT_TRUE(old.HungUp());
    EXPECT_FALSE(old.Send("AT\r"));
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(com1.ReadUntil("\r\nDISCONNECT\r\n"), "\r\nDISCONNECT\r\n");
    EXPECT_FALSE(Exists(link));
    EXPECT_EQ(sim.DevicePath(2), "");
    UnitSnapshot s = sim.Snapshot(2);
    EXPECT_FALSE(s.powered);
    EXPECT_FALSE(s.plugged);
    EXPECT_TRUE(s.switchedOn);
    EXPECT_EQ(sim.Snapshot(1).link, LinkState::Standby);

    double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(CpuSeconds() - cpu, 0.2); // about a whole second if the loop spun

    // Back with a new device behind the same link, started afresh.
    ASSERT_TRUE(sim.Replug(2));
    EXPECT_FALSE(sim.Replug(2));
    EXPECT_NE(sim.DevicePath(2), before); // the old one is still held open
    EXPECT_EQ(LinkTarget(link), sim.DevicePath(2));
    EXPECT_TRUE(sim.Snapshot(2).powered);
    EXPECT_EQ(sim.Snapshot(2).restarts, 1);
    PtyClient com2;
    ASSERT_TRUE(com2.Open(link));
    EXPECT_EQ(com2.Command("AT"), kOk);
    EXPECT_EQ(StatusField(com2.Command("AT+BTINFO?"), 3), "STANDBY");
    // Closing what is left of the old device disturbs nothing; reopens of the new one work.
    old.Close();
    EXPECT_EQ(com2.Command("AT"), kOk);
    for (int i = 0; i < 3; ++i) {
        com2.Close();
        ASSERT_TRUE(com2.Open(link)) << i;
        EXPECT_EQ(com2.Command("AT"), kOk) << i;
    }
    EXPECT_EQ(com1.Command("AT"), kOk);
    sim.Stop();
    EXPECT_FALSE(Exists(link));
}

TEST(Plug, UnplugHangsUpTheComputerAndReplugRepointsTheLink) {
    UnplugAndReplug(true);
}

TEST(Plug, UnplugAndReplugWithoutInotify) {
    UnplugAndReplug(false);
}

TEST(Plug, OnePortUnplugTakesTheAttachedUnit) {
    LinkDir dir;
    SimOptions o = FastOptions();
    o.onePort = true;
    o.linkDir = dir.path;
    Simulator sim(o);
    ASSERT_TRUE(sim.Start(nullptr));
    const std::string link = dir.path + "/com1";
    EXPECT_EQ(sim.LinkPath(1), link);
    EXPECT_EQ(sim.LinkPath(2), link);
    EXPECT_EQ(LinkTarget(link), sim.DevicePath(1));

    ASSERT_TRUE(sim.Unplug(2)); // the port, whoever is on it
    EXPECT_FALSE(sim.Snapshot(1).plugged);
    EXPECT_FALSE(sim.Snapshot(1).powered);
    EXPECT_TRUE(sim.Snapshot(2).powered);
    EXPECT_FALSE(Exists(link));
    ASSERT_TRUE(sim.Replug(2));
    EXPECT_TRUE(sim.Snapshot(1).powered);
    PtyClient port;
    ASSERT_TRUE(port.Open(link));
    EXPECT_EQ(StatusField(port.Command("AT+BTINFO?"), 1), "Norva-BX01");
    port.Close();
    sim.Attach(2);
    ASSERT_TRUE(port.Open(link));
    EXPECT_EQ(StatusField(port.Command("AT+BTINFO?"), 1), "Norva-BX02");
}

TEST(Plug, StartFailsOnALinkDirectoryThatCannotBeMade) {
    SimOptions o = FastOptions();
    o.linkDir = "/nonexistent-dir/links";
    Simulator sim(o);
    std::string error;
    EXPECT_FALSE(sim.Start(&error));
    EXPECT_NE(error.find("/nonexistent-dir/links"), std::string::npos) << error;
}

} // namespace
} // namespace norva::sim::test
