#include "TempTree.h"
#include "platform/PortDetails.h"
#include "serial/SerialPortList.h"
#include "support/PtyPair.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace norva;

TEST(ByIdLink, IsTheLinkThatResolvesToTheDevice) {
    PtyPair a, b, unlinked;
    TempTree byId;
    byId.Link("usb-Norva_BX01_A1-if00-port0", a.path);
    byId.Link("usb-Other_Cable_B2-if00-port0", b.path);
    byId.Link("usb-Gone-if00-port0", "/dev/norva-no-such-device");
    byId.Write("not-a-link", "");
    const std::string dir = byId.root.string();

    EXPECT_EQ(FindByIdLink(a.path, dir), byId / "usb-Norva_BX01_A1-if00-port0");
    EXPECT_EQ(FindByIdLink(b.path, dir), byId / "usb-Other_Cable_B2-if00-port0");
    // A port named through its link still finds it.
    EXPECT_EQ(FindByIdLink(byId / "usb-Other_Cable_B2-if00-port0", dir),
              byId / "usb-Other_Cable_B2-if00-port0");
    EXPECT_EQ(FindByIdLink(unlinked.path, dir), "");
    EXPECT_EQ(FindByIdLink("/dev/norva-no-such-device", dir), "");
    EXPECT_EQ(FindByIdLink(a.path, byId / "absent"), "");
}

TEST(ByIdLink, IsTheSameEachTimeWhenADeviceHasSeveral) {
    PtyPair pty;
    TempTree byId;
    byId.Link("usb-Norva_BX01_Z9-if00", pty.path);
    byId.Link("usb-Norva_BX01_A1-if00", pty.path);
    EXPECT_EQ(FindByIdLink(pty.path, byId.root.string()), byId / "usb-Norva_BX01_A1-if00");
}

TEST(PortDetailsUdev, GivesNothingForWhatUdevDoesNotKnow) {
    PtyPair pty;
    const PortDetails d = UdevPortDetails(pty.path);
    EXPECT_EQ(d.vendor, "");
    EXPECT_EQ(d.model, "");
    EXPECT_EQ(d.serial, "");
    const PortDetails none = UdevPortDetails("/dev/norva-no-such-device");
    EXPECT_EQ(none.vendor + none.model + none.serial, "");
}

TEST(PortDetailsEnumeration, FillsTheLinkAndLeavesUnknownsEmpty) {
    PtyPair linked, plain;
    TempTree byId;
    byId.Link("usb-Norva_BX01_A1-if00-port0", linked.path);
    ScopedEnv dir("NORVAWIZARD_BY_ID_DIR", byId.root.string());
    ScopedEnv com12("NORVAWIZARD_COM12", linked.path);
    ScopedEnv com13("NORVAWIZARD_COM13", plain.path);

    CSerialPortList list;
    ASSERT_TRUE(list.Enumerate());
    const auto entry = [&](unsigned n) {
        const auto it = std::find(list.m_ports.begin(), list.m_ports.end(), n);
        EXPECT_NE(it, list.m_ports.end()) << n;
        return it == list.m_ports.end()
                   ? SerialPortEntry{}
                   : list.GetEntry(static_cast<int>(it - list.m_ports.begin()));
    };
    const SerialPortEntry com12Entry = entry(12);
    EXPECT_EQ(com12Entry.device, linked.path);
    EXPECT_EQ(com12Entry.byId, byId / "usb-Norva_BX01_A1-if00-port0");
    EXPECT_EQ(com12Entry.vendor + com12Entry.model + com12Entry.serial, "");
    const SerialPortEntry com13Entry = entry(13);
    EXPECT_EQ(com13Entry.byId + com13Entry.vendor + com13Entry.model + com13Entry.serial, "");
}
