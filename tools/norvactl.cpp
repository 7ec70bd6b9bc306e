// norvactl: drives a Norva-BX module from the command line through the same
// controller and device-job worker as the wizard.

#include "platform/Console.h"
#include "tools/CliOptions.h"
#include "tools/DetectCommand.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"
#ifndef NORVA_NO_STATION
#include "tools/LabelCommand.h"
#include "tools/RecordsCommand.h"
#endif
#include "tools/PairCommand.h"
#include "tools/PortsCommand.h"
#include "tools/Session.h"

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
    CliOptions opt;
    const ParseOutcome parsed = ParseCommandLine(argc, argv, opt);
    if (parsed.kind == ParseOutcome::Kind::Print) {
        std::fputs(parsed.text.c_str(), stdout);
        return kExitOk;
    }
    if (parsed.kind == ParseOutcome::Kind::UsageError) {
        std::fprintf(stderr, "norvactl: %s\n", parsed.text.c_str());
        if (opt.json || WantsJson(argc, argv)) {
            std::printf("%s\n", JsonReport(opt.command).Dump(kExitUsage, parsed.text).c_str());
        }
        return kExitUsage;
    }
    if (opt.command == "ports") {
        return ListPorts(opt);
    }
    if (opt.command == "pair") {
        return RunPairCommand(opt);
    }
    if (opt.command == "detect") {
        return RunDetect(opt);
    }
#ifndef NORVA_NO_STATION
    if (opt.command == "records") {
        return RunRecordsCommand(opt);
    }
    if (opt.command == "label") {
        return RunLabelCommand(opt);
    }
#else
    if (opt.command == "records" || opt.command == "label") {
        std::fprintf(stderr, "norvactl: the pair register is not part of this build\n");
        return kExitRegister;
    }
#endif
    Session session(opt);
    return session.Run();
}
