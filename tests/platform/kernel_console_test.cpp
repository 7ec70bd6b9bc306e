#include "TempTree.h"
#include "platform/ComMap.h"
#include "platform/KernelConsole.h"
#include "platform/SerialDevice.h"
#include "serial/SerialPortList.h"
#include "support/PtyPair.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace norva;

namespace {

// A fake /sys in which `name` is a tty on a real (non-virtual) device.
struct FakeSysfs {
    TempTree tree;
    ScopedEnv env{"NORVAWIZARD_SYSFS_ROOT", tree.root.string()};

    void AddTty(const std::string& name, const std::string& uartType = "") {
        const std::string dev = "devices/pnp0/00:00/tty/" + name;
        tree.Link(dev + "/device", "../..");
        if (!uartType.empty()) {
            tree.Write(dev + "/type", uartType);
        }
        tree.Link("class/tty/" + name, "../../" + dev);
    }
    void MarkConsole(const std::string& name, const std::string& flag) {
        tree.Write("devices/pnp0/00:00/tty/" + name + "/console", flag + "\n");
    }
    void SetActive(const std::string& names) {
        tree.Write("class/tty/console/active", names + "\n");
    }
};

std::string PtyName(const PtyPair& pty) {
    return pty.path.substr(pty.path.rfind('/') + 1);
}

bool Listed(unsigned com) {
    CSerialPortList list;
    list.Enumerate();
    return std::find(list.m_ports.begin(), list.m_ports.end(), com) != list.m_ports.end();
}

} // namespace

TEST(KernelConsole, IsKnownByItsMarkOrTheActiveList) {
    FakeSysfs sys;
    sys.AddTty("ttyS0");
    sys.AddTty("ttyS1");
    sys.AddTty("ttyUSB0");
    EXPECT_FALSE(IsKernelConsole("ttyS0", sys.tree.root.string()));

    sys.SetActive("tty0 ttyS1");
    EXPECT_TRUE(IsKernelConsole("ttyS1", sys.tree.root.string()));
    EXPECT_FALSE(IsKernelConsole("ttyS0", sys.tree.root.string()));
    EXPECT_FALSE(IsKernelConsole("ttyS", sys.tree.root.string())); // whole names only

    sys.MarkConsole("ttyUSB0", "Y");
    sys.MarkConsole("ttyS0", "N");
    EXPECT_TRUE(IsKernelConsole("ttyUSB0", sys.tree.root.string()));
    EXPECT_FALSE(IsKernelConsole("ttyS0", sys.tree.root.string()));
}

TEST(KernelConsole, IsNeverPresentUnlessOverridden) {
    PtyPair pty;
    FakeSysfs sys;
    sys.AddTty(PtyName(pty));
    EXPECT_TRUE(SerialDevicePresent(pty.path, false));

    sys.SetActive(PtyName(pty));
    EXPECT_FALSE(SerialDevicePresent(pty.path, false));
    EXPECT_TRUE(SerialDevicePresent(pty.path, true));

    ScopedEnv com("NORVAWIZARD_COM7", pty.path);
    EXPECT_TRUE(ComPresent(7));
    EXPECT_TRUE(Listed(7));

    sys.SetActive("tty0");
    sys.MarkConsole(PtyName(pty), "Y");
    EXPECT_FALSE(SerialDevicePresent(pty.path, false));
}

TEST(KernelConsole, IsLeftOutOfTheTableEnumeration) {
    struct stat st {};
    if (stat("/dev/ttyS0", &st) != 0 || !S_ISCHR(st.st_mode)) {
        GTEST_SKIP() << "no /dev/ttyS0 here";
    }
    FakeSysfs sys;
    sys.AddTty("ttyS0", "4"); // a 16550A
    EXPECT_TRUE(Listed(1));
    sys.SetActive("ttyS0");
    EXPECT_FALSE(Listed(1));
}

// Refused by its COM number before anything is opened; named on purpose, it is the user's choice.
TEST(KernelConsole, IsRefusedByItsComNumberUnlessNamedOnPurpose) {
    FakeSysfs sys;
    sys.AddTty("ttyS0");
    EXPECT_EQ(ComRefusal(1), "");
    sys.SetActive("ttyS0");
    const std::string why = ComRefusal(1);
    EXPECT_NE(why.find("COM1 is /dev/ttyS0, the system console"), std::string::npos) << why;
    EXPECT_NE(why.find("--device /dev/ttyS0"), std::string::npos) << why;
    EXPECT_EQ(ComRefusal(2), "");
    ScopedEnv com("NORVAWIZARD_COM1", "/dev/ttyS0");
    EXPECT_EQ(ComRefusal(1), "");
}
