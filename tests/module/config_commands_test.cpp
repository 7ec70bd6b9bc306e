// Operation mode, UART settings, S-registers and restart.

#include "ModuleFixture.h"

namespace norva::test {
namespace {

using ConfigCommands = ModuleOnPty;

TEST_F(ConfigCommands, UartSettingsAreEncodedAsTheModuleExpects) {
    peer.SetResponder([](const std::string&) { return std::vector<Chunk>{kOk}; });
    EXPECT_EQ(RC_OK, module.SetUartConfig(kReplyMs, 115200, kOddParity, kOneStopBit, 0));
    EXPECT_EQ(RC_OK, module.SetUartConfig(kReplyMs, 9600, kEvenParity, kTwoStopBits, 1));
    EXPECT_EQ(RC_OK, module.SetUartConfig(kReplyMs, 57600, kNoParity, kOneStopBit, 5));
    EXPECT_EQ(RC_OK, module.SetUartConfigNoFlow(kReplyMs, 38400, kNoParity, kOneStopBit));
    EXPECT_EQ(OP_SET_UART, module.CurOp());
    // Odd parity is sent as N: the module only knows N and E.
    EXPECT_EQ(
        (std::vector<std::string>{"AT+UARTCONFIG,115200,N,1,0\r", "AT+UARTCONFIG,9600,E,2,1\r",
                                  "AT+UARTCONFIG,57600,N,1,1\r", "AT+UARTCONFIG,38400,N,1\r"}),
        peer.Commands());
}

TEST_F(ConfigCommands, ModeAndRegisterWritesSetTheirOperationCodes) {
    peer.Answer("AT+BTMODE,2\r", {kOk});
    EXPECT_EQ(RC_OK, module.SetOpMode(kReplyMs, 2));
    EXPECT_EQ(OP_SET_MODE, module.CurOp());
    peer.Answer("ATS24=10\r", {kError});
    EXPECT_EQ(RC_ERROR, module.WriteSRegister(kReplyMs, 24, 10));
    EXPECT_EQ(OP_WRITE_SREG, module.CurOp());
}

TEST_F(ConfigCommands, RegisterReadTakesTheValueLine) {
    std::string value = "unchanged";

    peer.Answer("ATS10?\r", {"\r\n0\r\n" + kOk});
    EXPECT_EQ(RC_OK, module.ReadSRegister(kReplyMs, 10, value));
    EXPECT_EQ("0", value);

    // A value line alone is enough; surrounding blanks are trimmed.
    peer.Answer("ATS10?\r", {"\r\n \t1 \r\n"});
    EXPECT_EQ(RC_OK, module.ReadSRegister(kReplyMs, 10, value));
    EXPECT_EQ("1", value);

    peer.Answer("ATS10?\r", {kOk});
    value = "unchanged";
    EXPECT_EQ(RC_NO_VALUE, module.ReadSRegister(kReplyMs, 10, value));
    EXPECT_EQ("unchanged", value);

    peer.Answer("ATS10?\r", {kError});
    EXPECT_EQ(RC_ERROR, module.ReadSRegister(kReplyMs, 10, value));
    EXPECT_EQ(OP_NONE, module.CurOp());
}

TEST_F(ConfigCommands, ResetAtAnotherBaudRateDoesNotWaitForAnAnswer) {
    StoredSettings applied;
    applied.baud = 115200; // the port runs at 9600
    module.SetApplySettings(applied);
    EXPECT_EQ(RC_DONE, module.Reset(60000));
    EXPECT_EQ(OP_RESET, module.CurOp());

    applied.baud = 9600;
    module.SetApplySettings(applied);
    module.SetAwaitResetReply(false);
    EXPECT_EQ(RC_DONE, module.Reset(60000));

    module.SetAwaitResetReply(true);
    peer.Answer("ATZ\r", {kOk});
    EXPECT_EQ(RC_OK, module.Reset(kReplyMs));
    ASSERT_TRUE(peer.WaitForCommands(3, kReplyMs));
    EXPECT_EQ((std::vector<std::string>{"ATZ\r", "ATZ\r", "ATZ\r"}), peer.Commands());
}

} // namespace
} // namespace norva::test
