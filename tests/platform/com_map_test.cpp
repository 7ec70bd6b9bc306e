#include "TempTree.h"
#include "platform/ComMap.h"

#include <gtest/gtest.h>

using namespace norva;

TEST(ComMap, FollowsTheFixedTable) {
    EXPECT_EQ(ComDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(ComDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(ComDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(ComDevicePath(97), "/dev/rfcomm0");
    EXPECT_EQ(ComDevicePath(129), "/dev/ttyAMA0");
    EXPECT_EQ(ComDevicePath(160), "/dev/ttyAMA31");
    EXPECT_EQ(ComDevicePath(161), "");
    EXPECT_EQ(ComDevicePath(0), "");
    EXPECT_EQ(ComDevicePath(256), "");
}

TEST(ComMap, AnEnvironmentOverrideWins) {
    ScopedEnv o("NORVAWIZARD_COM33", "/dev/pts/77");
    EXPECT_EQ(ComDevicePath(33), "/dev/pts/77");
    EXPECT_TRUE(ComOverridden(33));
    EXPECT_FALSE(ComPresent(33)); // no such character device
}
