// Finding a module's UART setting against norva-sim on real pseudo-terminals.
// A unit hears only at its stored baud rate and stop bits; a pty carries no
// parity, so a unit storing Even answers at None too and is reported at the
// first of the two in the search order.

#include "module/SettingsDetect.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace norva::test {
namespace {

class DetectTest : public ::testing::Test {
protected:
    void Start(sim::UartSetting uart, bool silent = false) {
        sim::SimOptions options;
        options.unit[0].uart = uart;
        options.unit[0].silent = silent;
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        path = simulator->DevicePath(1);
    }

    // The search must have closed the port: an exclusive open succeeds.
    void ExpectPortFree() {
        SerialDevice device;
        OsError error;
        EXPECT_TRUE(device.Open(path, LineSettings{}, &error)) << error.reason;
    }

    DetectResult Detect(const DetectProgress& progress = {}) {
        return DetectSettings(path, &stop, progress);
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::string path;
    Event stop{Event::Mode::Manual};
};

TEST(DetectOrderTest, EveryStorableSettingOnceFactoryDefaultFirst) {
    const auto order = DetectOrder();
    ASSERT_EQ(kDetectSettingCount, static_cast<int>(order.size()));
    EXPECT_EQ(9600u, order[0].BaudRate);
    EXPECT_EQ(kNoParity, order[0].Parity);
    EXPECT_EQ(kOneStopBit, order[0].StopBits);
    std::set<std::tuple<uint32_t, int, int>> seen;
    for (const LineSettings& s : order) {
        EXPECT_NE(kOddParity, s.Parity);
        EXPECT_TRUE(BaudSupported(s.BaudRate));
        seen.insert({s.BaudRate, s.Parity, s.StopBits});
    }
    EXPECT_EQ(order.size(), seen.size());
}

TEST_F(DetectTest, FactoryDefaultAnswersAtTheFirstTry) {
    Start({9600, 'N', 1, true});
    const DetectResult r = Detect();
    ASSERT_EQ(DetectResult::Outcome::Found, r.outcome) << r.reason;
    EXPECT_EQ(1, r.tried);
    EXPECT_EQ("--baud 9600 --parity none --stop 1", DetectOptionText(r.setting));
    ExpectPortFree();
}

TEST_F(DetectTest, EvenParityTwoStopBitsIsFoundAtItsRateAndStopBits) {
    Start({115200, 'E', 2, true});
    const DetectResult r = Detect();
    ASSERT_EQ(DetectResult::Outcome::Found, r.outcome) << r.reason;
    EXPECT_EQ(115200u, r.setting.BaudRate);
    EXPECT_EQ(kTwoStopBits, r.setting.StopBits);
    // None comes before Even at the same rate and stop bits.
    EXPECT_EQ(kNoParity, r.setting.Parity);
    EXPECT_EQ(20, r.tried);
    ExpectPortFree();
}

TEST_F(DetectTest, SlowestRateWithTwoStopBitsIsFoundLate) {
    Start({1200, 'N', 2, true});
    std::vector<int> indices;
    const DetectResult r = Detect([&indices](int i, int count, const LineSettings&) {
        EXPECT_EQ(kDetectSettingCount, count);
        indices.push_back(i);
    });
    ASSERT_EQ(DetectResult::Outcome::Found, r.outcome) << r.reason;
    EXPECT_EQ(1200u, r.setting.BaudRate);
    EXPECT_EQ(kTwoStopBits, r.setting.StopBits);
    EXPECT_EQ(27, r.tried);
    ASSERT_EQ(27u, indices.size());
    EXPECT_EQ(1, indices.front());
    EXPECT_EQ(27, indices.back());
}

TEST_F(DetectTest, SilentUnitIsTriedAtEverySettingInOrder) {
    Start({9600, 'N', 1, true}, true);
    std::vector<LineSettings> tried;
    const DetectResult r =
        Detect([&tried](int, int, const LineSettings& s) { tried.push_back(s); });
    EXPECT_EQ(DetectResult::Outcome::NoAnswer, r.outcome);
    EXPECT_EQ(kDetectSettingCount, r.tried);
    const auto order = DetectOrder();
    ASSERT_EQ(order.size(), tried.size());
    for (size_t i = 0; i < tried.size(); ++i) {
        EXPECT_EQ(order[i].BaudRate, tried[i].BaudRate) << i;
        EXPECT_EQ(order[i].StopBits, tried[i].StopBits) << i;
        EXPECT_EQ(order[i].Parity, tried[i].Parity) << i;
    }
    ExpectPortFree();
}

TEST_F(DetectTest, StopMidwayEndsTheSearchAndClosesThePort) {
    Start({9600, 'N', 1, true}, true);
    const DetectResult r = Detect([this](int i, int, const LineSettings&) {
        if (i == 5) {
            stop.Set();
        }
    });
    EXPECT_EQ(DetectResult::Outcome::Cancelled, r.outcome);
    EXPECT_EQ(5, r.tried);
    ExpectPortFree();
}

TEST_F(DetectTest, UnpluggedDuringTheSearchSaysSo) {
    Start({9600, 'N', 1, true}, true);
    const DetectResult r = Detect([this](int i, int, const LineSettings&) {
        if (i == 3) {
            simulator->Unplug(1);
        }
    });
    EXPECT_EQ(DetectResult::Outcome::DeviceGone, r.outcome);
    EXPECT_EQ(3, r.tried);
    EXPECT_NE(std::string::npos, r.reason.find(path)) << r.reason;
}

TEST_F(DetectTest, PortThatDoesNotOpenGivesTheReason) {
    Start({9600, 'N', 1, true});
    SerialDevice holder;
    OsError error;
    ASSERT_TRUE(holder.Open(path, LineSettings{}, &error)) << error.reason;
    DetectResult r = Detect();
    EXPECT_EQ(DetectResult::Outcome::OpenFailed, r.outcome);
    EXPECT_NE(std::string::npos, r.reason.find("in use")) << r.reason;
    EXPECT_EQ(0, r.tried);

    r = DetectSettings("/nonexistent/norva-tty", &stop, {});
    EXPECT_EQ(DetectResult::Outcome::OpenFailed, r.outcome);
    EXPECT_NE(std::string::npos, r.reason.find("/nonexistent/norva-tty")) << r.reason;
}

} // namespace
} // namespace norva::test
