#include "tools/CommandLine.h"

#include "tools/ExitCodes.h"
#include "tools/Subcommand.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <utility>

#ifndef NORVA_VERSION
#define NORVA_VERSION "unknown"
#endif

namespace norva::tools {

namespace {

// CLI11's usage line shows only [OPTIONS]; ours shows what each command needs.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string /*name*/) const override {
        for (const CommandSpec& c : Commands()) {
            if (app->get_name() == c.name) {
                return std::string("Usage: norvactl ") + c.name + c.synopsis + "\n";
            }
        }
        return "Usage: norvactl [PORT OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n";
    }
};

void AddLineOptions(Subcommand& app, CommonOptions& out, bool shortNames) {
    auto add = [&](const std::string& name, auto& target, ValueRule rule, const char* type,
                   const char* help) {
        app.add_option(name, target, help)
            .transform(std::move(rule))
            .type_name(type)
            .group(kPortGroup);
    };
    if (shortNames) {
        add("--baud", out.baud, PortBaud(), "RATE", "line speed the computer uses (default 9600)");
        add("--parity", out.parity, ParityName(), "P", "none, even or odd (default none)");
        add("--stop", out.stopBits, StopBits(), "S", "stop bits, 1 or 2 (default 1)");
    }
    add("--port-baud", out.baud, PortBaud(), "RATE", "the same as --baud, anywhere on the line");
    add("--port-parity", out.parity, ParityName(), "P", "the same as --parity, anywhere");
    add("--port-stop", out.stopBits, StopBits(), "S", "the same as --stop, anywhere");
}

void AddPortChoice(Subcommand& app, CommonOptions& out) {
    app.add_option("--port", out.comPort, "the port by its COM number (see 'norvactl ports')")
        .transform(ComPort())
        .type_name("COMn")
        .group(kPortGroup);
    app.add_option("--device", out.device, "the port by its device path")
        .type_name("PATH")
        .group(kPortGroup);
}

void AddPortOptions(Subcommand& app, CommonOptions& out, bool shortNames) {
    AddPortChoice(app, out);
    AddLineOptions(app, out, shortNames);
}

void AddOutputOptions(Subcommand& app, CommonOptions& out, bool logs) {
    app.add_flag("--json", out.json, "print the result as one JSON object").group(kOutputGroup);
    if (!logs) {
        return;
    }
    app.add_option("--log", out.logPath,
                   "append a timestamped transcript of every byte in and out to FILE")
        .type_name("FILE")
        .group(kOutputGroup);
    app.add_flag("-v,--verbose", out.verbose, "write the same transcript to standard error")
        .group(kOutputGroup);
}

void AddSharedOptions(Subcommand& sub, const CommandSpec& spec, CommonOptions& out) {
    switch (spec.port) {
    case PortOptions::None:
        break;
    case PortOptions::Choice:
        AddPortChoice(sub, out);
        break;
    case PortOptions::Line:
    case PortOptions::LineLong:
        AddPortOptions(sub, out, spec.port == PortOptions::Line);
        break;
    }
    if (spec.output != OutputOptions::None) {
        AddOutputOptions(sub, out, spec.output == OutputOptions::JsonAndLog);
    }
}

std::string Try(const std::string& command) {
    return " (try 'norvactl " + (command.empty() ? std::string() : command + " ") + "--help')";
}

// CLI11 says "The following arguments were not expected"; a user wants to
// know which word it was and what kind.
std::string ExtrasReason(const CLI::App& app, const std::string& command) {
    const std::vector<std::string> extras = app.remaining(true);
    if (extras.empty()) {
        return "unexpected arguments" + Try(command);
    }
    const std::string& first = extras.front();
    if (first.size() > 1 && first[0] == '-') {
        return "unknown option '" + first + "'" + Try(command);
    }
    if (command.empty()) {
        return "unknown command '" + first + "'" + Try(command);
    }
    return "unexpected argument '" + first + "'" + Try(command);
}

std::string SelectedCommand(const CLI::App& app) {
    const std::vector<CLI::App*> subs = app.get_subcommands();
    return subs.empty() ? std::string() : subs.front()->get_name();
}

} // namespace

namespace {

ParsedCommandLine Printed(std::string text) {
    ParsedCommandLine out;
    out.kind = ParsedCommandLine::Kind::Print;
    out.text = std::move(text);
    return out;
}

} // namespace

ParsedCommandLine ParseCommandLine(int argc, char** argv) {
    using Kind = ParsedCommandLine::Kind;
    ParsedCommandLine out;
    CLI::App app("Drives a Norva-BX module on a serial port through the device-job worker.",
                 "norvactl");
    app.formatter(std::make_shared<Formatter>());
    app.footer(ExitStatusHelp());
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("norvactl ") + NORVA_VERSION,
                         "print the version and exit");
    Subcommand top(app);
    AddPortOptions(top, out.common, true);
    AddOutputOptions(top, out.common, true);

    std::vector<std::pair<CLI::App*, std::unique_ptr<Command>>> commands;
    for (const CommandSpec& spec : Commands()) {
        CLI::App* sub = app.add_subcommand(spec.name, spec.summary)->group("Commands");
        if (spec.footer[0] != '\0') {
            sub->footer(spec.footer);
        }
        Subcommand options(*sub);
        AddSharedOptions(options, spec, out.common);
        commands.emplace_back(sub, spec.make());
        commands.back().second->AddOptions(options, out.common);
    }

    std::string& command = out.common.command;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return Printed(app.help());
    } catch (const CLI::CallForVersion& e) {
        return Printed(std::string(e.what()) + "\n");
    } catch (const CLI::ExtrasError&) {
        command = SelectedCommand(app);
        out.kind = Kind::UsageError;
        out.text = ExtrasReason(app, command);
        return out;
    } catch (const CLI::ParseError& e) {
        command = SelectedCommand(app);
        out.kind = Kind::UsageError;
        out.text = OneLine(e.what()) + Try(command);
        return out;
    }
    command = SelectedCommand(app);
    for (auto& [sub, cmd] : commands) {
        if (sub->parsed()) {
            out.command = std::move(cmd);
        }
    }
    if (!out.command) {
        out.kind = Kind::UsageError;
        out.text = "no command given" + Try("");
        return out;
    }
    if (const std::optional<std::string> topic = out.command->HelpTopic()) {
        if (topic->empty()) {
            return Printed(app.help());
        }
        try {
            return Printed(app.get_subcommand(*topic)->help("norvactl"));
        } catch (const CLI::OptionNotFound&) {
            out.kind = Kind::UsageError;
            out.text = "unknown command '" + *topic + "'" + Try("");
            return out;
        }
    }
    if (std::string error = out.command->Check(out.common); !error.empty()) {
        out.kind = Kind::UsageError;
        out.text = std::move(error);
    }
    return out;
}

} // namespace norva::tools
