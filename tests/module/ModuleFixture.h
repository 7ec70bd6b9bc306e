#pragma once
// A controller on one end of a real pty and a scripted module on the other.

#include "module/ModuleControl.h"
#include "module/Protocol.h"
#include "support/ControlProbe.h"
#include "support/RecordingHost.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace norva::test {

using namespace std::string_literals;

// Generous bounds that only catch hangs; replies arrive in milliseconds.
inline constexpr int kReplyMs = 5000;
// A time-out the test expects to run out.
inline constexpr int kShortMs = 300;

inline const std::string kOk = "\r\nOK\r\n";
inline const std::string kError = "\r\nERROR\r\n";

class ModuleOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        ASSERT_EQ(1, module.OpenPortPath(peer.Path(), 9600, 0, 0)) << module.LastOpenError().reason;
    }
    void TearDown() override { module.ClosePort(); }

    // A chunk condition: the controller has taken `n` more reply bytes than
    // when the test began, so the next chunk starts a new wait.
    std::function<bool()> Taken(uint64_t n) {
        const uint64_t target = m_base + n;
        return [this, target] { return test::ControlProbe::BytesTaken(module) >= target; };
    }
    void MarkBase() { m_base = test::ControlProbe::BytesTaken(module); }

    // The worker also waits on EV_ABORT; tests that abort a transaction run
    // on the test thread without it. The port stays open.
    void WithoutWorker() { module.TalkDirectly(); }

    RecordingHost host;
    ScriptedPeer peer;
    CModuleControl module{&host};
    uint64_t m_base = 0;
};

inline std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

} // namespace norva::test
