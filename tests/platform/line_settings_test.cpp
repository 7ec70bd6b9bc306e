#include "platform/SerialDevice.h"
#include "platform/posix/Termios.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace norva;

TEST(LineSettingsTermios, IsRawEightBitsWithoutFlowControlOrHangupOnClose) {
    LineSettings s;
    termios t{};
    ASSERT_TRUE(BuildTermios(s, &t));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
}

TEST(LineSettingsTermios, MapsParityAndStopBitCodes) {
    LineSettings s;
    termios t{};
    s.Parity = kOddParity;
    ASSERT_TRUE(BuildTermios(s, &t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
    s.Parity = kEvenParity;
    s.StopBits = kTwoStopBits;
    ASSERT_TRUE(BuildTermios(s, &t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
}

TEST(LineSettingsTermios, TakesEveryRateOfTheBaudTable) {
    for (uint32_t baud : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u}) {
        LineSettings s;
        s.BaudRate = baud;
        termios t{};
        ASSERT_TRUE(BuildTermios(s, &t)) << baud;
        EXPECT_EQ(SpeedToBaud(cfgetispeed(&t)), baud);
    }
}

TEST(LineSettingsTermios, RefusesWhatTheDeviceCannotDo) {
    termios t{};
    LineSettings s;
    s.BaudRate = 12345;
    EXPECT_FALSE(BuildTermios(s, &t));
    s = LineSettings{};
    s.Parity = 3; // mark parity
    EXPECT_FALSE(BuildTermios(s, &t));
    s = LineSettings{};
    s.StopBits = 1; // one and a half
    EXPECT_FALSE(BuildTermios(s, &t));
}

TEST(OpenErrors, ExplainWhatTheUserCanDo) {
    const OsError busy = DescribeOpenError(EBUSY, "/dev/ttyACM0");
    EXPECT_NE(busy.reason.find("in use by another program"), std::string::npos);
    EXPECT_NE(busy.reason.find("ID_MM_DEVICE_IGNORE"), std::string::npos);
    EXPECT_EQ(DescribeOpenError(EBUSY, "/dev/ttyUSB0").reason.find("ID_MM"), std::string::npos);
    EXPECT_NE(DescribeOpenError(ENOENT, "/dev/ttyUSB9").reason.find("device not present"),
              std::string::npos);
    EXPECT_EQ(DescribeOpenError(ENODEV, "/dev/x").code, ENODEV);
}
