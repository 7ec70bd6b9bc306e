// `norvactl label`: writes the label of a unit's pair from a register.

#include "tools/StationCommands.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class LabelCommand : public Command {
public:
    void AddOptions(Subcommand& sub, CommonOptions& common) override {
        AddRecordOption(sub, m_args);
        AddRegisterVerbose(sub, common);
        sub.add_option("--unit", m_args.unit, "a unit of the pair")
            .transform(Address())
            .type_name("ADDRESS");
        sub.add_option("--out", m_args.out, "the label file: .svg or .zpl").type_name("FILE");
    }
    std::string Check(const CommonOptions& /*common*/) override {
        std::string error;
        return CheckLabelArgs(m_args, error) ? std::string() : error;
    }
    CommandResult Run(const CommonOptions& common) override {
        return LabelFromRegister(m_args, common);
    }

private:
    StationArgs m_args;
};

} // namespace

// It writes a file and prints nothing but errors: no output options.
const CommandRegistration kLabelCommand{
    200,
    {"label", "write the label of a unit's pair from a register",
     " --record TARGET --unit ADDRESS --out FILE",
     "The label of the completed pair ADDRESS is in now, for a 50 x 25 mm label:\n"
     "both names and addresses, the UART stored, the date and a QR code of\n"
     "NORVA-PAIR:<address 1>,<address 2>. FILE ending in .svg gets SVG, in .zpl\n"
     "ZPL for label printers.\n",
     PortOptions::None, OutputOptions::None, Make<LabelCommand>}};

} // namespace norva::tools
