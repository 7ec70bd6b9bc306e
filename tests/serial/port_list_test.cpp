#include "serial/SerialPortList.h"
#include "support/PtyPair.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

using namespace norva;

namespace {

struct EnvOverride {
    std::string name;
    EnvOverride(int n, const std::string& path) : name("NORVAWIZARD_COM" + std::to_string(n)) {
        setenv(name.c_str(), path.c_str(), 1);
    }
    ~EnvOverride() { unsetenv(name.c_str()); }
};

} // namespace

TEST(PortList, ListsOverriddenPortsInOrderAndNothingAbove255) {
    CSerialPortList baseline;
    ASSERT_TRUE(baseline.Enumerate());
    std::set<unsigned> expected(baseline.m_ports.begin(), baseline.m_ports.end());

    PtyPair a, b, c, d;
    EnvOverride o1(1, a.path), o3(3, b.path), o12(12, c.path), o256(256, d.path);
    expected.insert({1, 3, 12});

    CSerialPortList list;
    ASSERT_TRUE(list.Enumerate());
    EXPECT_EQ(std::set<unsigned>(list.m_ports.begin(), list.m_ports.end()), expected);
    EXPECT_TRUE(std::is_sorted(list.m_ports.begin(), list.m_ports.end()));
    ASSERT_EQ(list.m_nCount, static_cast<int>(list.m_ports.size()));
    ASSERT_EQ(list.m_entries.size(), list.m_ports.size());
    for (int i = 0; i < list.m_nCount; ++i) {
        EXPECT_EQ(list.GetEntry(i).port, "COM" + std::to_string(list.m_ports[i]));
        EXPECT_EQ(list.GetEntry(i).name, list.GetEntry(i).port);
        EXPECT_LE(list.m_ports[i], 255u);
    }
    const auto it = std::find(list.m_ports.begin(), list.m_ports.end(), 12u);
    ASSERT_NE(it, list.m_ports.end());
    EXPECT_EQ(list.m_entries[it - list.m_ports.begin()].device, c.path);

    ASSERT_TRUE(list.Enumerate()); // again: the same list, not a doubled one
    EXPECT_EQ(std::set<unsigned>(list.m_ports.begin(), list.m_ports.end()), expected);
    EXPECT_EQ(list.m_nCount, static_cast<int>(expected.size()));
}
