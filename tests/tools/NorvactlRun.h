#pragma once
// One norvactl run as a child process, and the checks the tool tests share.

#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norva::test {

// Generous: these catch hangs of the child, not its speed.
inline constexpr int kRunMs = 60000;
inline constexpr int kWaitMs = 10000;

inline ToolRun Norvactl(std::vector<std::string> args, std::vector<std::string> env = {},
                        int timeoutMs = kRunMs) {
    args.insert(args.begin(), NORVACTL_PATH);
    ToolProcess p(args, env);
    EXPECT_TRUE(p.Started());
    return p.Finish(timeoutMs);
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace norva::test
