// norvactl: drives a Norva-BX module from the command line through the same
// controller and device-job worker as the wizard.

#include "platform/Console.h"
#include "tools/CommandLine.h"
#include "tools/ResultOutput.h"

#include <cstdio>
#include <cstring>

namespace {

// A usage error has to honour --json even when CLI11 gave up before it
// reached the flag.
bool WantsJson(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        if (std::strcmp(argv[i], "--json") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    using namespace norva::tools;
    norva::PrepareConsole();
    ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    const CommonOptions& common = parsed.common;
    switch (parsed.kind) {
    case ParsedCommandLine::Kind::Print:
        std::fputs(parsed.text.c_str(), stdout);
        return kExitOk;
    case ParsedCommandLine::Kind::UsageError:
        return PrintResult({common.command, kExitUsage, parsed.text},
                           common.json || WantsJson(argc, argv));
    case ParsedCommandLine::Kind::Run:
        break;
    }
    return PrintResult(parsed.command->Run(common), common.json);
}
