#pragma once
// norvactl's command line: the shared options, then one command from the
// table with its own.

#include "tools/Command.h"

#include <memory>
#include <string>

namespace norva::tools {

struct ParsedCommandLine {
    enum class Kind {
        Run,        // `command` is to run with `common`
        Print,      // help or version: print `text`, exit 0
        UsageError, // `text` is the one-line reason
    };
    Kind kind = Kind::Run;
    std::string text;
    CommonOptions common;
    std::unique_ptr<Command> command;
};

ParsedCommandLine ParseCommandLine(int argc, char** argv);

} // namespace norva::tools
