#include "platform/ComMap.h"
#include "serial/SerialPort.h"
#include "serial/Transcript.h"
#include "support/PtyPair.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

using namespace norva;
using namespace std::chrono_literals;

namespace {

// Everything the port has received, waiting for the data event as the
// command engine does.
std::string Drain(CSerialPort& port, size_t expected, int ms = 2000) {
    std::string got;
    Event* const set[] = {port.m_hDataEvent.get()};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
        if (WaitAny(set, 50) != 0 && port.m_rxBuffer.GetCount() == 0) {
            continue;
        }
        char buf[1024];
        const int n = port.m_rxBuffer.GetCount();
        if (n > 0 && port.m_rxBuffer.Read(buf, n) == n) {
            got.append(buf, static_cast<size_t>(n));
        }
    }
    return got;
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

TEST(SerialPortLifecycle, OpensClosesAndReopens) {
    PtyPair pty;
    CSerialPort port;
    EXPECT_EQ(port.m_hDataEvent, nullptr);
    port.Close(); // never opened: harmless
    ASSERT_TRUE(port.OpenPath(pty.path)) << port.LastOpenError().reason;
    EXPECT_EQ(port.m_bOpen.load(), 1);
    EXPECT_NE(port.m_hDataEvent, nullptr);
    EXPECT_FALSE(port.OpenPath(pty.path)); // never reopens
    EXPECT_EQ(port.m_bOpen.load(), 1);
    port.Close();
    port.Close();
    EXPECT_EQ(port.m_bOpen.load(), 0);
    EXPECT_EQ(port.m_hDataEvent, nullptr);
    ASSERT_TRUE(port.OpenPath(pty.path));
    ASSERT_TRUE(pty.Send("again"));
    EXPECT_EQ(Drain(port, 5), "again");
}

TEST(SerialPortLifecycle, AFailedOpenLeavesEventsForTheNextAttempt) {
    PtyPair pty;
    CSerialPort port;
    EXPECT_FALSE(port.OpenPath("/dev/norva-no-such-device"));
    EXPECT_EQ(port.LastOpenError().code, ENOENT);
    Event* made = port.m_hDataEvent.get();
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(port.OpenPath(pty.path));
    EXPECT_EQ(port.m_hDataEvent.get(), made);
}

TEST(SerialPortLifecycle, OpensComNumbersThroughTheMap) {
    PtyPair pty;
    setenv("NORVAWIZARD_COM12", pty.path.c_str(), 1);
    CSerialPort port;
    ASSERT_TRUE(port.Open(12)) << port.LastOpenError().reason;
    EXPECT_EQ(port.m_nPort, 12);
    port.Close();
    unsetenv("NORVAWIZARD_COM12");
    EXPECT_FALSE(port.Open(256));
}

TEST(SerialPortLifecycle, WriteOnAClosedPortReturnsZero) {
    CSerialPort port;
    EXPECT_EQ(port.Write("AT\r", 3), 0u);
}

TEST(SerialPortExclusive, ASecondOpenOfTheSameDeviceFails) {
    PtyPair pty;
    CSerialPort first, second;
    ASSERT_TRUE(first.OpenPath(pty.path));
    EXPECT_FALSE(second.OpenPath(pty.path));
    EXPECT_EQ(second.LastOpenError().code, EBUSY);
    EXPECT_NE(second.LastOpenError().reason.find("in use by another program"), std::string::npos);
    first.Close();
    EXPECT_TRUE(second.OpenPath(pty.path)); // the lock went with the close
}

TEST(SerialPortLineSettings, AreVisibleFromTheOtherSide) {
    PtyPair pty;
    CSerialPort port;
    port.GetDCB()->BaudRate = 115200;
    port.GetDCB()->StopBits = kTwoStopBits;
    ASSERT_TRUE(port.OpenPath(pty.path));
    termios seen{};
    ASSERT_EQ(tcgetattr(pty.master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B115200));
    EXPECT_TRUE(seen.c_cflag & CSTOPB);
    port.Close();

    port.GetDCB()->BaudRate = 9600;
    port.GetDCB()->StopBits = kOneStopBit;
    ASSERT_TRUE(port.OpenPath(pty.path));
    ASSERT_EQ(tcgetattr(pty.master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B9600));
    EXPECT_FALSE(seen.c_cflag & CSTOPB);
}

// The port is handed back as it was found: a console or a terminal program's line does not stay
// raw at our speed.
TEST(SerialPortLineSettings, AreThoseFoundAgainAfterTheClose) {
    PtyPair pty;
    termios found{};
    ASSERT_EQ(tcgetattr(pty.slave, &found), 0);
    found.c_lflag |= ICANON | ECHO;
    cfsetspeed(&found, B4800);
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &found), 0);
    ASSERT_EQ(tcgetattr(pty.slave, &found), 0);
    CSerialPort port;
    port.GetDCB()->BaudRate = 115200;
    ASSERT_TRUE(port.OpenPath(pty.path));
    ASSERT_EQ(port.Write("AT\r", 3), 3u);
    port.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(pty.slave, &after), 0);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&found));
    EXPECT_EQ(pty.Receive(3), "AT\r"); // what was written still went out
}

// The settings search changes the line of an open port many times: the
// reader must hear at the new setting, and a refused rate must leave the
// port open and listening.
TEST(SerialPortLineSettings, ChangeOnTheOpenPortAndTheReaderGoesOn) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    OsError error;
    const auto line = [](uint32_t baud) {
        LineSettings s;
        s.BaudRate = baud;
        s.StopBits = kTwoStopBits;
        return s;
    };
    for (const uint32_t baud : {1200U, 115200U}) {
        ASSERT_TRUE(port.SetLine(line(baud), &error)) << error.reason;
        termios seen{};
        ASSERT_EQ(tcgetattr(pty.master, &seen), 0);
        EXPECT_TRUE(seen.c_cflag & CSTOPB);
        const std::string text = "OK" + std::to_string(baud);
        ASSERT_TRUE(pty.Send(text));
        EXPECT_EQ(Drain(port, text.size()), text);
    }
    EXPECT_FALSE(port.SetLine(line(12345), &error));
    EXPECT_FALSE(port.HungUp());
    ASSERT_TRUE(pty.Send("still"));
    EXPECT_EQ(Drain(port, 5), "still");
    EXPECT_EQ(port.Write("AT\r", 3), 3u);
    EXPECT_EQ(pty.Receive(3), "AT\r");
    port.Close();
    EXPECT_FALSE(port.SetLine(line(9600), &error));
}

TEST(SerialPortLineSettings, AnUnsupportedRateFailsTheOpen) {
    PtyPair pty;
    CSerialPort port;
    port.GetDCB()->BaudRate = 12345;
    EXPECT_FALSE(port.OpenPath(pty.path));
    EXPECT_EQ(port.m_bOpen.load(), 0);
}

TEST(SerialPortData, ArrivesInOrderThroughTheReader) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        const std::string line = "\r\nline " + std::to_string(i) + "\r\n";
        ASSERT_TRUE(pty.Send(line));
        sent += line;
    }
    EXPECT_EQ(Drain(port, sent.size()), sent);
}

TEST(SerialPortData, WritesReachTheOtherSide) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    EXPECT_EQ(port.Write("AT+BTINFO?\r", 11), 11u);
    EXPECT_EQ(pty.Receive(11), "AT+BTINFO?\r");
}

TEST(SerialPortData, AFullRingDropsAWholeChunkThenStoresAgain) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    const std::string fill(1020, 'f');
    ASSERT_TRUE(pty.Send(fill));
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (port.m_rxBuffer.GetCount() < 1020 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(port.m_rxBuffer.GetCount(), 1020);
    const int errorsBefore = port.ReportedErrors();
    ASSERT_TRUE(pty.Send("12345")); // 3 bytes would fit: the chunk still goes whole
    while (port.ReportedErrors() == errorsBefore && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_GT(port.ReportedErrors(), errorsBefore);
    EXPECT_EQ(port.m_rxBuffer.GetCount(), 1020);

    port.m_rxBuffer.Clear();
    ASSERT_TRUE(pty.Send("OK"));
    EXPECT_EQ(Drain(port, 2), "OK");
}

TEST(SerialPortStop, CloseEndsABlockedReaderAtOnce) {
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    std::this_thread::sleep_for(20ms); // the reader is now blocked in its wait
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CSerialPort::kReaderJoinMs));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(SerialPortHangup, IsNotedOnceAndCostsNoCpu) {
    PtyPair pty;
    // Only the port may hold the slave, so that closing the master hangs it up.
    close(pty.slave);
    pty.slave = -1;
    CSerialPort port;
    ASSERT_TRUE(port.OpenPath(pty.path));
    pty.CloseMaster();
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!port.HungUp() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(port.HungUp());
    const int errors = port.ReportedErrors();
    const double cpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1);
    EXPECT_EQ(port.ReportedErrors(), errors);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Write("AT\r", 3), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    port.Close();
}

namespace {

class OpenRecorder : public CTranscriptLines {
public:
    std::string Text() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_text;
    }

protected:
    // The reader thread reports what it receives while the test reads.
    void Line(const std::string& line) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_text += line + "\n";
    }

private:
    mutable std::mutex m_lock;
    std::string m_text;
};

} // namespace

// A pty refuses (or silently drops) PARENB, yet a module stored with Even
// parity is reached over one: the open succeeds without parity and says so.
TEST(SerialPortLineSettings, EvenParityOnAPseudoTerminalOpensWithoutAndIsNoted) {
    PtyPair pty;
    CSerialPort port;
    OpenRecorder transcript;
    port.SetTranscript(&transcript);
    port.GetDCB()->BaudRate = 19200;
    port.GetDCB()->Parity = kEvenParity;
    port.GetDCB()->StopBits = kTwoStopBits;
    ASSERT_TRUE(port.OpenPath(pty.path)) << port.LastOpenError().reason;
    termios seen{};
    ASSERT_EQ(tcgetattr(pty.master, &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B19200));
    EXPECT_TRUE(seen.c_cflag & CSTOPB);
    EXPECT_FALSE(seen.c_cflag & PARENB);
    const std::string recorded = transcript.Text();
    EXPECT_NE(recorded.find("open " + pty.path +
                            " 19200 8E2 (Even parity not applied: a pseudo-terminal "
                            "carries no parity)"),
              std::string::npos)
        << recorded;
    ASSERT_TRUE(pty.Send("OK"));
    EXPECT_EQ(Drain(port, 2), "OK");
    port.Close();
    port.SetTranscript(nullptr);

    SerialDevice device;
    OsError error;
    LineSettings odd;
    odd.Parity = kOddParity;
    ASSERT_TRUE(device.Open(pty.path, odd, &error)) << error.reason;
    EXPECT_EQ(device.LineNote(), "Odd parity not applied: a pseudo-terminal carries no parity");
    LineSettings none;
    ASSERT_TRUE(device.SetLine(none, &error)) << error.reason;
    EXPECT_EQ(device.LineNote(), "");
}
