// The serial layer as a Windows program sees it: run under Wine by
// wine_tests.py against norva-sim, whose units are COM ports here. The
// driver starts a simulator for each suite; a line "@@unplug N" on standard
// output asks it to pull unit N's adapter.

#include "module/ModuleControl.h"
#include "module/ModuleHost.h"
#include "module/Protocol.h"
#include "platform/Event.h"
#include "serial/SerialPort.h"
#include "serial/SerialPortList.h"
#include "serial/Transcript.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

using namespace norva;
using Clock = std::chrono::steady_clock;

namespace {

int ComOf(const char* var) {
    const char* value = std::getenv(var);
    return value != nullptr ? std::atoi(value) : 0;
}

int Unit1() {
    return ComOf("NORVA_TEST_UNIT1_COM");
}

int Unit2() {
    return ComOf("NORVA_TEST_UNIT2_COM");
}

void AskDriver(const std::string& request) {
    std::printf("@@%s\n", request.c_str());
    std::fflush(stdout);
}

// Everything the port receives until `until` appears or `ms` pass, waiting
// on the data event as the module controller does.
std::string Collect(CSerialPort& port, const std::string& until, int ms) {
    std::string got;
    Event* const set[] = {port.m_hDataEvent.get()};
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (got.find(until) == std::string::npos && Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        WaitAny(set, static_cast<int>(std::max<long long>(left, 0)));
        char buf[1024];
        const int n = port.m_rxBuffer.GetCount();
        if (n > 0 && port.m_rxBuffer.Read(buf, n) == n) {
            got.append(buf, static_cast<size_t>(n));
        }
    }
    return got;
}

bool Answers(CSerialPort& port, int ms = 2000) {
    port.m_rxBuffer.Clear();
    if (port.Write("AT\r", 3) != 3) {
        return false;
    }
    return Collect(port, "OK\r\n", ms).find("OK\r\n") != std::string::npos;
}

class Host : public IModuleHost {
public:
    void PostJobResult(int, int) override {}
    void AddDeviceRow(const std::string& address, const std::string&, const std::string&) override {
        std::lock_guard<std::mutex> lock(m_lock);
        rows.push_back(address);
    }
    void ShowMessageBox(const std::string&, const Event*) override {}
    void ShowBanner(Banner) override {}
    void HideBanner(Banner) override {}
    std::vector<std::string> Rows() {
        std::lock_guard<std::mutex> lock(m_lock);
        return rows;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> rows;
};

// The controller with its transactions run on this thread, as norvactl's
// direct commands do.
struct Controller {
    Host host;
    CModuleControl module{&host};
    explicit Controller(int com) {
        opened = module.OpenPort(com, 9600, kOneStopBit, kNoParity) != 0;
        module.TalkDirectly();
    }
    ~Controller() { module.ClosePort(); }
    bool opened = false;
};

} // namespace

TEST(WinePort, OpensClosesAndReopens) {
    ASSERT_GT(Unit1(), 0) << "NORVA_TEST_UNIT1_COM is not set";
    CSerialPort port;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_EQ(port.m_bOpen.load(), 1);
    EXPECT_FALSE(port.Open(Unit1())); // never reopens; the open port stays as it was
    EXPECT_TRUE(Answers(port));
    port.Close();
    port.Close();
    EXPECT_EQ(port.Write("AT\r", 3), 0u);
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_TRUE(Answers(port));
}

TEST(WinePort, AnAbsentPortFailsAndTheNextOpenReusesTheEvents) {
    CSerialPort port;
    EXPECT_FALSE(port.Open(9));
    EXPECT_EQ(port.LastOpenError().reason, "COM9: device not present");
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_TRUE(Answers(port));
}

// norva-sim answers only at its own UART setting (9600 8N1): what the port
// asks for reaches the line. Parity never reaches a pseudo-terminal under
// Wine, so only the rate and the stop bits can be seen.
TEST(WinePort, LineSettingsReachTheLine) {
    CSerialPort port;
    port.GetDCB()->BaudRate = 115200;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_FALSE(Answers(port, 400));
    port.Close();
    port.GetDCB()->BaudRate = 9600;
    port.GetDCB()->StopBits = kTwoStopBits;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_FALSE(Answers(port, 400));
    port.Close();
    port.GetDCB()->StopBits = kOneStopBit;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    EXPECT_TRUE(Answers(port));
    port.Close();
    port.GetDCB()->BaudRate = 12345;
    EXPECT_FALSE(port.Open(Unit1()));
    EXPECT_EQ(port.m_bOpen.load(), 0);
}

TEST(WinePort, CloseEndsABlockedReaderWithinTheLimit) {
    CSerialPort port;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(CSerialPort::kReaderJoinMs));
    EXPECT_EQ(port.m_bOpen.load(), 0);
    EXPECT_EQ(port.m_hDataEvent, nullptr);
}

TEST(WinePort, ListsTheMappedPortsOnly) {
    CSerialPortList list;
    list.Enumerate();
    std::vector<unsigned> expected = {static_cast<unsigned>(Unit1()),
                                      static_cast<unsigned>(Unit2())};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list.m_ports, expected);
    ASSERT_EQ(list.m_nCount, 2);
    EXPECT_EQ(list.GetEntry(0).port, "COM" + std::to_string(expected[0]));
}

// Not a check: the figure the README compares with the Linux one.
TEST(WinePort, ProbeRoundTrip) {
    CSerialPort port;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    std::vector<double> ms;
    for (int i = 0; i < 40; ++i) {
        const auto start = Clock::now();
        ASSERT_TRUE(Answers(port));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("probe round trip under Wine: median %.2f ms\n", ms[ms.size() / 2]);
}

// Replies in pieces of 3 bytes 20 ms apart, with stray line ends and junk.
TEST(WineChunked, TransactionsReadWholeRepliesFromPieces) {
    Controller c(Unit1());
    ASSERT_TRUE(c.opened) << c.module.LastOpenError().reason;
    EXPECT_EQ(c.module.Probe(3000), RC_OK);
    ModuleInfo info;
    EXPECT_EQ(c.module.QueryStatus(info), 1);
    EXPECT_STREQ(info.Snapshot().m_szAddress, "00A0961B2C01");
    std::string value;
    EXPECT_EQ(c.module.ReadSRegister(3000, 24, value), RC_OK);
}

// An inquiry that finds more devices than it asks for (S24 = 10), all at
// once: a burst of result lines, every one of which must arrive.
TEST(WineBurst, AnInquiryTakesEveryResultLine) {
    Controller c(Unit1());
    ASSERT_TRUE(c.opened) << c.module.LastOpenError().reason;
    EXPECT_EQ(c.module.Inquiry(10000), RC_DONE);
    std::vector<std::string> rows = c.host.Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(std::unique(rows.begin(), rows.end()) - rows.begin(), 10);
}

TEST(WineGone, DuringARead) {
    CSerialPort port;
    ASSERT_TRUE(port.Open(Unit1())) << port.LastOpenError().reason;
    Event* const gone[] = {port.GoneEvent()};
    AskDriver("unplug 1");
    ASSERT_EQ(WaitAny(gone, 20000), 0);
    EXPECT_TRUE(port.HungUp());
    const std::string reason = port.GoneReason();
    EXPECT_EQ(reason.rfind("COM" + std::to_string(Unit1()) + " was disconnected (", 0), 0u)
        << reason;
    EXPECT_GT(reason.size(), std::string("COMn was disconnected ()").size()) << reason;
    EXPECT_EQ(port.Write("AT\r", 3), 0u);
    port.Close();
    EXPECT_EQ(port.GoneReason(), reason); // kept until the next open
}

namespace {

// Asks for the unplug once the command is on the line.
class UnplugWhenSent : public CTranscriptLines {
public:
    explicit UnplugWhenSent(int unit) : m_unit(unit) {}
    void OnSent(const uint8_t* data, size_t length) override {
        CTranscriptLines::OnSent(data, length);
        if (!m_asked.exchange(true)) {
            AskDriver("unplug " + std::to_string(m_unit));
        }
    }

protected:
    void Line(const std::string&) override {}

private:
    int m_unit;
    std::atomic<bool> m_asked{false};
};

} // namespace

// Unit 2 waits 3 s before each reply: the unplug comes while the controller
// waits for it.
TEST(WineGone, DuringAWaitForAReply) {
    Controller c(Unit2());
    ASSERT_TRUE(c.opened) << c.module.LastOpenError().reason;
    UnplugWhenSent transcript(2);
    c.module.SetTranscript(&transcript);
    const auto start = Clock::now();
    EXPECT_EQ(c.module.Probe(20000), RC_DEVICE_GONE);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20000));
    EXPECT_EQ(c.module.GoneReason().rfind("COM" + std::to_string(Unit2()), 0), 0u);
    c.module.ClosePort();
    c.module.SetTranscript(nullptr);
}
