// `norvactl records`: lists or exports the attempts a register holds.

#include "tools/StationCommands.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

class RecordsCommand : public Command {
public:
    void AddOptions(Subcommand& sub, CommonOptions& common) override {
        AddRecordOption(sub, m_args);
        AddRegisterVerbose(sub, common);
        sub.add_flag("--csv", m_args.csv, "print CSV (RFC 4180)").group(kOutputGroup);
        sub.add_option("--since", m_args.since,
                       "only attempts started on DATE (YYYY-MM-DD, UTC) or later")
            .type_name("DATE");
        sub.add_option("--unit", m_args.unit, "only attempts with this unit")
            .transform(Address())
            .type_name("ADDRESS");
    }
    std::string Check(const CommonOptions& common) override {
        std::string error;
        return CheckRecordsArgs(m_args, common.json, error) ? std::string() : error;
    }
    CommandResult Run(const CommonOptions& common) override { return ListRecords(m_args, common); }

private:
    StationArgs m_args;
};

} // namespace

const CommandRegistration kRecordsCommand{
    190,
    {"records", "list or export the pairings a register holds",
     " --record TARGET [--json | --csv] [--since DATE] [--unit ADDRESS]",
     "TARGET is a SQLite file or a postgresql:// database, as given to\n"
     "'norvactl pair --record'. One line per pairing attempt, oldest first; --csv\n"
     "prints RFC 4180 CSV with the register's column names, --json one JSON\n"
     "object whose \"pairs\" have the keys of the pair report. --since keeps the\n"
     "attempts started on DATE (YYYY-MM-DD, UTC) or later, --unit those of one unit.\n",
     PortOptions::None, OutputOptions::Json, Make<RecordsCommand>}};

} // namespace norva::tools
