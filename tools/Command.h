#pragma once
// One norvactl command: the options it takes and the one result it ends
// with. A command's file holds both; tools/CommandTable.cpp lists the
// commands, and main prints a result in one place (tools/ResultOutput.cpp).

#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norva::tools {

class Subcommand;

inline constexpr const char* kPortGroup = "Port options";
inline constexpr const char* kOutputGroup = "Output options";
inline constexpr const char* kStationGroup = "Station options";

// What every command may share: the port, how the computer talks to it, and
// what to print.
struct CommonOptions {
    std::string command;
    int comPort = 0; // 0: none given
    std::string device;
    uint32_t baud = 9600;
    int parity = 0; // platform codes
    int stopBits = 0;
    bool json = false;
    std::string logPath;
    bool verbose = false;
};

// What a command ends with. main prints it once: `notes` as "norvactl: …"
// lines, `text` on standard output unless --json, `error` as one
// "norvactl: …" line, and under --json the report with the exit status.
struct CommandResult {
    explicit CommandResult(const std::string& command) : report(command) {}
    CommandResult(const std::string& command, int exit, std::string why)
        : exitCode(exit), error(std::move(why)), report(command) {}

    int exitCode = kExitOk;
    std::string error;
    std::string text;
    std::vector<std::string> notes;
    JsonReport report;
};

class Command {
public:
    Command() = default;
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // The command's own options and arguments on its subcommand.
    virtual void AddOptions(Subcommand& /*sub*/, CommonOptions& /*common*/) {}
    // After the parse: a usage error in one line, or empty.
    virtual std::string Check(const CommonOptions& /*common*/) { return {}; }
    virtual CommandResult Run(const CommonOptions& common) = 0;
    // `help`: the command whose help to print ("" for the whole program).
    virtual std::optional<std::string> HelpTopic() const { return std::nullopt; }
};

// Which shared options a command's subcommand takes besides its own.
enum class PortOptions {
    None,
    Choice,   // --port or --device only: the command chooses the line itself
    Line,     // --port/--device and the line, --baud/--parity/--stop included
    LineLong, // as Line, but --baud/--parity/--stop are the command's own
};
enum class OutputOptions { None, Json, JsonAndLog };

struct CommandSpec {
    const char* name;
    const char* summary;
    const char* synopsis; // after "norvactl NAME"
    const char* footer;
    PortOptions port;
    OutputOptions output;
    std::unique_ptr<Command> (*make)();
};

// The commands in the order the help lists them.
const std::vector<CommandSpec>& Commands();

// A command's file registers its spec at start-up: `order` is its place in
// the help (ports 10, status 20, … help 210; a new command takes a number
// between its neighbours), so that adding one touches its own file only.
struct CommandRegistration {
    CommandRegistration(int order, const CommandSpec& spec);
};

template <typename T> std::unique_ptr<Command> Make() {
    return std::make_unique<T>();
}

} // namespace norva::tools
