#include "tools/ExitCodes.h"

#include "flow/PairingFlow.h"

namespace norva::tools {

int ExitFor(flow::Failure failure) {
    switch (failure) {
    case flow::Failure::DeviceGone:
    case flow::Failure::PortFailed:
        return kExitPortFailed;
    case flow::Failure::NoAnswer:
        return kExitNoAnswer;
    case flow::Failure::Cancelled:
        return kExitInterrupted;
    default:
        return kExitFailed;
    }
}

std::string ExitStatusHelp() {
    constexpr size_t kWidth = 76;
    std::string text;
    std::string line = "Exit status:";
    const size_t count = std::size(kExitMeanings);
    for (size_t i = 0; i < count; ++i) {
        std::string item = std::to_string(kExitMeanings[i].code) + " " + kExitMeanings[i].meaning;
        item += i + 1 < count ? "," : ".";
        // Greedy by words, but a status stays on the line of its meaning's first word.
        size_t start = 0;
        while (start < item.size()) {
            size_t end = item.find(' ', start);
            if (start == 0 && end != std::string::npos) {
                end = item.find(' ', end + 1);
            }
            const std::string word =
                item.substr(start, end == std::string::npos ? end : end - start);
            if (line.size() + 1 + word.size() > kWidth) {
                text += line + "\n";
                line = word;
            } else {
                line += " " + word;
            }
            start = end == std::string::npos ? item.size() : end + 1;
        }
    }
    return text + line + "\n";
}

} // namespace norva::tools
