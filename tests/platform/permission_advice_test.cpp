#include "TempTree.h"
#include "platform/PermissionAdvice.h"
#include "platform/SerialDevice.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace norva;

namespace {

DeviceAccess Device(const std::string& owner, uid_t uid, const std::string& group, gid_t gid,
                    mode_t perms) {
    DeviceAccess d;
    d.path = "/dev/ttyUSB0";
    d.kernel = "ttyUSB0";
    d.owner = uid;
    d.ownerName = owner;
    d.group = gid;
    d.groupName = group;
    d.mode = S_IFCHR | perms;
    return d;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(PermissionAdvice, NamesTheDeviceItsOwnerGroupAndMode) {
    EXPECT_EQ(PermissionAdvice(Device("root", 0, "dialout", 20, 0660)),
              "/dev/ttyUSB0: permission denied (owner root, group dialout, mode crw-rw----): "
              "add your user to the group dialout (sudo usermod -aG dialout $USER) and log in "
              "again");
    EXPECT_EQ(ModeString(S_IFCHR | 0620), "crw--w----");
    EXPECT_EQ(ModeString(S_IFREG | 0755), "-rwxr-xr-x");
}

TEST(PermissionAdvice, OffersTheGroupOnlyWhenItMayReadAndWrite) {
    const std::string readOnly = PermissionAdvice(Device("root", 0, "dialout", 20, 0640));
    EXPECT_FALSE(Has(readOnly, "add your user to the group dialout (")) << readOnly;
    EXPECT_TRUE(Has(readOnly, "GROUP=\"dialout\", MODE=\"0660\"")) << readOnly;
    EXPECT_TRUE(Has(readOnly, "KERNEL==\"ttyUSB[0-9]*\"")) << readOnly;
    EXPECT_TRUE(Has(readOnly, "sudo chmod o+rw /dev/ttyUSB0")) << readOnly;

    const std::string writeOnly = PermissionAdvice(Device("root", 0, "uucp", 10, 0620));
    EXPECT_TRUE(Has(writeOnly, "GROUP=\"uucp\"")) << writeOnly;

    const std::string otherGroup = PermissionAdvice(Device("root", 0, "uucp", 10, 0660));
    EXPECT_TRUE(Has(otherGroup, "add your user to the group uucp (sudo usermod -aG uucp $USER)"));
}

TEST(PermissionAdvice, NeverSuggestsJoiningRootsGroup) {
    for (const mode_t perms : {0600, 0660}) {
        const std::string text = PermissionAdvice(Device("root", 0, "root", 0, perms));
        EXPECT_FALSE(Has(text, "-aG root")) << text;
        EXPECT_TRUE(Has(text, "GROUP=\"dialout\", MODE=\"0660\"")) << text;
    }
}

TEST(PermissionAdvice, SendsAUsersDeviceToThatUser) {
    DeviceAccess pts = Device("alice", 1000, "tty", 5, 0620);
    pts.path = "/dev/pts/4";
    pts.kernel = "4";
    const std::string text = PermissionAdvice(pts);
    EXPECT_TRUE(Has(text, "owner alice, group tty, mode crw--w----")) << text;
    EXPECT_TRUE(Has(text, "run the wizard as alice, or have them run chmod o+rw /dev/pts/4"));
    EXPECT_FALSE(Has(text, "udev")) << text;
}

TEST(PermissionAdvice, BlamesAPolicyWhenTheModeLetsEveryoneIn) {
    const std::string text = PermissionAdvice(Device("root", 0, "root", 0, 0666));
    EXPECT_TRUE(Has(text, "security policy")) << text;
    EXPECT_FALSE(Has(text, "chmod")) << text;
}

TEST(OpenErrorReasons, DescribeTheRealNode) {
    TempTree tree;
    tree.Write("ttyFAKE0", "");
    chmod((tree / "ttyFAKE0").c_str(), 0600);
    const OsError denied = DescribeOpenError(EACCES, tree / "ttyFAKE0");
    EXPECT_EQ(denied.code, EACCES);
    EXPECT_TRUE(Has(denied.reason, tree / "ttyFAKE0" + ": permission denied (owner "));
    EXPECT_TRUE(Has(denied.reason, "mode -rw-------")) << denied.reason;
    EXPECT_TRUE(Has(DescribeOpenError(EPERM, tree / "absent/ttyUSB0").reason, "absent/ttyUSB0"));

    // ModemManager probes ttyACM devices whatever name leads to them.
    tree.Write("ttyACM3", "");
    tree.Write("ttyUSB3", "");
    tree.Link("by-id/usb-Norva_BX01-if00", "../ttyACM3");
    tree.Link("by-id/usb-Cable-if00-port0", "../ttyUSB3");
    EXPECT_TRUE(Has(DescribeOpenError(EBUSY, tree / "by-id/usb-Norva_BX01-if00").reason,
                    "ID_MM_DEVICE_IGNORE"));
    EXPECT_FALSE(
        Has(DescribeOpenError(EBUSY, tree / "by-id/usb-Cable-if00-port0").reason, "ID_MM"));
    EXPECT_TRUE(Has(DescribeOpenError(EBUSY, "/dev/ttyACM0").reason, "ID_MM_DEVICE_IGNORE"));
}
