// norvactl's commands, in the order its help lists them. A command's name,
// texts, options and run are in its own file.

#include "tools/Command.h"

namespace norva::tools {

extern const CommandSpec kPortsCommand, kStatusCommand, kProbeCommand, kDetectCommand,
    kEscapeCommand, kCancelCommand, kScanCommand, kInquiryCommand, kConnectCommand,
    kDisconnectCommand, kSetModeCommand, kSetUartCommand, kApplyCommand, kReadSregCommand,
    kWriteSregCommand, kResetCommand, kTraitsCommand, kPairCommand, kRecordsCommand, kLabelCommand,
    kHelpCommand;

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = {
        kPortsCommand,   kStatusCommand,  kProbeCommand,   kDetectCommand,   kEscapeCommand,
        kCancelCommand,  kScanCommand,    kInquiryCommand, kConnectCommand,  kDisconnectCommand,
        kSetModeCommand, kSetUartCommand, kApplyCommand,   kReadSregCommand, kWriteSregCommand,
        kResetCommand,   kTraitsCommand,  kPairCommand,    kRecordsCommand,  kLabelCommand,
        kHelpCommand,
    };
    return commands;
}

} // namespace norva::tools
