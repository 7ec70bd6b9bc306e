#include "tools/ResultOutput.h"

#include <cstdio>

namespace norva::tools {

int PrintResult(const CommandResult& result, bool json) {
    for (const std::string& note : result.notes) {
        std::fprintf(stderr, "norvactl: %s\n", note.c_str());
    }
    if (!json) {
        std::fputs(result.text.c_str(), stdout);
        std::fflush(stdout);
    }
    if (!result.error.empty()) {
        std::fprintf(stderr, "norvactl: %s\n", result.error.c_str());
    }
    if (json) {
        std::printf("%s\n", result.report.Dump(result.exitCode, result.error).c_str());
    }
    std::fflush(stdout);
    return result.exitCode;
}

} // namespace norva::tools
