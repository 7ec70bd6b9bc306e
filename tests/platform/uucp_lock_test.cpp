#include "TempTree.h"
#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"
#include "support/PtyPair.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace norva;

namespace {

std::string PtyName(const PtyPair& pty) {
    return pty.path.substr(pty.path.rfind('/') + 1);
}

std::string TextPid(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

std::string BinaryPid(pid_t pid) {
    const int value = static_cast<int>(pid);
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// A pid that no process has any more.
pid_t DeadPid() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

struct LockedPty : ::testing::Test {
    PtyPair pty;
    TempTree locks;
    ScopedEnv env{"NORVAWIZARD_LOCK_DIR", locks.root.string()};
    std::string lockFile = locks / ("LCK.." + PtyName(pty));
    SerialDevice device;
    OsError error;

    bool Open(const std::string& path) { return device.Open(path, LineSettings{}, &error); }
};

} // namespace

TEST_F(LockedPty, OurLockIsHeldWhileOpenAndGoesWithTheClose) {
    ASSERT_TRUE(Open(pty.path)) << error.reason;
    EXPECT_EQ(ReadAll(lockFile), TextPid(getpid()));
    EXPECT_EQ(ReadUucpLockPid(lockFile), getpid());
    device.Close();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    // Nothing of ours is left in the directory either.
    EXPECT_TRUE(std::filesystem::is_empty(locks.root));
}

TEST_F(LockedPty, ALiveHolderMakesThePortInUse) {
    for (const std::string& content : {TextPid(getppid()), BinaryPid(getppid())}) {
        locks.Write("LCK.." + PtyName(pty), content);
        EXPECT_FALSE(Open(pty.path));
        EXPECT_EQ(error.code, EBUSY);
        EXPECT_NE(error.reason.find("in use by another program"), std::string::npos);
        EXPECT_NE(error.reason.find("process " + std::to_string(getppid())), std::string::npos)
            << error.reason;
        EXPECT_EQ(ReadAll(lockFile), content); // never touched
        EXPECT_FALSE(device.IsOpen());
    }
    // A lock that names nobody may be one being written: it is honoured too.
    locks.Write("LCK.." + PtyName(pty), "");
    EXPECT_FALSE(Open(pty.path));
    EXPECT_EQ(error.code, EBUSY);
}

TEST_F(LockedPty, AStaleLockIsReplacedByOurs) {
    for (const std::string& content : {TextPid(DeadPid()), BinaryPid(DeadPid())}) {
        locks.Write("LCK.." + PtyName(pty), content);
        ASSERT_TRUE(Open(pty.path)) << error.reason;
        EXPECT_EQ(ReadUucpLockPid(lockFile), getpid());
        device.Close();
        EXPECT_FALSE(std::filesystem::exists(lockFile));
    }
}

TEST_F(LockedPty, ALinkAndItsDeviceShareOneLock) {
    locks.Link("by-id/usb-Norva_BX01-if00", pty.path);
    EXPECT_EQ(UucpLockName(locks / "by-id/usb-Norva_BX01-if00"), UucpLockName(pty.path));
    locks.Write("LCK.." + PtyName(pty), TextPid(getppid()));
    EXPECT_FALSE(Open(locks / "by-id/usb-Norva_BX01-if00"));
    EXPECT_EQ(error.code, EBUSY);
}

TEST_F(LockedPty, ASecondOpenInThisProcessIsRefused) {
    ASSERT_TRUE(Open(pty.path));
    SerialDevice second;
    OsError secondError;
    EXPECT_FALSE(second.Open(pty.path, LineSettings{}, &secondError));
    EXPECT_EQ(secondError.code, EBUSY);
    // The refused opener must not take our lock file with it.
    EXPECT_EQ(ReadUucpLockPid(lockFile), getpid());
}

TEST_F(LockedPty, ALockSomeoneElseTookOverStaysOnClose) {
    ASSERT_TRUE(Open(pty.path));
    locks.Write("LCK.." + PtyName(pty), TextPid(getppid()));
    device.Close();
    EXPECT_EQ(ReadUucpLockPid(lockFile), getppid());
}

TEST_F(LockedPty, AFailedOpenLeavesNoLock) {
    EXPECT_FALSE(device.Open("/dev/norva-no-such-device", LineSettings{}, &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(std::filesystem::is_empty(locks.root));
}

TEST(UucpLockDirectory, MissingMeansOpeningWithoutALockFile) {
    PtyPair pty;
    TempTree locks;
    ScopedEnv env("NORVAWIZARD_LOCK_DIR", locks / "absent");
    SerialDevice device;
    OsError error;
    ASSERT_TRUE(device.Open(pty.path, LineSettings{}, &error)) << error.reason;
    EXPECT_FALSE(std::filesystem::exists(locks / "absent"));
}

TEST(UucpLockDirectory, ReadOnlyStillHonoursALiveLock) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes to any directory";
    }
    PtyPair pty;
    TempTree locks;
    ScopedEnv env("NORVAWIZARD_LOCK_DIR", locks.root.string());
    SerialDevice device;
    OsError error;
    std::filesystem::permissions(locks.root, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    ASSERT_TRUE(device.Open(pty.path, LineSettings{}, &error)) << error.reason;
    device.Close();

    std::filesystem::permissions(locks.root, std::filesystem::perms::owner_all);
    locks.Write("LCK.." + PtyName(pty), TextPid(getppid()));
    std::filesystem::permissions(locks.root, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    EXPECT_FALSE(device.Open(pty.path, LineSettings{}, &error));
    EXPECT_EQ(error.code, EBUSY);
    std::filesystem::permissions(locks.root, std::filesystem::perms::owner_all);
}
