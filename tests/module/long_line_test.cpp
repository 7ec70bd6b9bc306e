// Names as long as Bluetooth allows (248 bytes), and own names up to the 255
// characters the status keeps, are read whole; a line longer still costs only
// itself.

#include "ModuleFixture.h"

namespace norva::test {
namespace {

using LongLine = ModuleOnPty;

const std::string kUnit1Row = "\r\n00A0961B2C01,Norva-BX01,001F00\r\n";

std::string Row(const std::string& address, const std::string& name) {
    return "\r\n" + address + "," + name + ",001F00\r\n";
}

TEST_F(LongLine, NeighboursWithLongNamesDoNotHideUnitOne) {
    WithoutWorker();
    const std::string name115 = Repeat('a', 115);
    const std::string name248 = Repeat('b', 248);
    peer.Answer("ATS24=10\r", {kOk});
    peer.Answer("AT+BTINQ?\r",
                {Row("001122334455", name115), Row("001122334466", name248), kUnit1Row, kOk});
    EXPECT_EQ(RC_DONE, module.Inquiry(kReplyMs));
    EXPECT_EQ((std::vector<DeviceRow>{{"001122334455", name115, "001F00"},
                                      {"001122334466", name248, "001F00"},
                                      {"00A0961B2C01", "Norva-BX01", "001F00"}}),
              host.Rows());
}

TEST_F(LongLine, ALineLongerThanAnyNameIsSkippedAtEverySplit) {
    WithoutWorker();
    const std::string overlong = Row("001122334455", Repeat('c', 500));
    const std::string reply = overlong + kUnit1Row + kOk;
    // Every chunk boundary through the overlong line and its end.
    for (size_t split = 1; split < overlong.size() + 4; split += 37) {
        host.Clear();
        MarkBase();
        peer.Answer("ATS24=10\r", {kOk});
        peer.Answer("AT+BTINQ?\r", {Chunk(reply.substr(0, split)),
                                    Chunk(reply.substr(split), 0, Taken(kOk.size() + split))});
        ASSERT_EQ(RC_DONE, module.Inquiry(kReplyMs)) << "split " << split;
        EXPECT_EQ((std::vector<DeviceRow>{{"00A0961B2C01", "Norva-BX01", "001F00"}}), host.Rows())
            << "split " << split;
    }
}

TEST_F(LongLine, OwnNamesUpTo255CharactersAreRead) {
    WithoutWorker();
    for (size_t length : {120u, 255u}) {
        const std::string name = Repeat('n', length);
        peer.Answer("AT\r", {kOk});
        peer.Answer("AT+BTINFO?\r",
                    {"\r\n00A0961B2C01," + name + ",MODE0,STANDBY,0,0,HWFC\r\n" + kOk});
        ASSERT_EQ(1, module.QueryStatus()) << length;
        EXPECT_EQ(name, module.LastStatus().Name());
        EXPECT_EQ(STATUS_READ_OK, module.LastStatusFailure());
    }
}

} // namespace
} // namespace norva::test
