// `norvactl help [COMMAND]`: the program's help or one command's.

#include "tools/Command.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class HelpCommand : public Command {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("COMMAND", m_topic, "the command to explain");
    }
    CommandResult Run(const CommonOptions& common) override {
        return CommandResult(common.command);
    }
    std::optional<std::string> HelpTopic() const override { return m_topic; }

private:
    std::string m_topic;
};

} // namespace

const CommandRegistration kHelpCommand{210,
                                       {"help", "show this help or a command's help", " [COMMAND]",
                                        "", PortOptions::None, OutputOptions::None,
                                        Make<HelpCommand>}};

} // namespace norva::tools
