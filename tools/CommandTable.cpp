// norvactl's commands, gathered from their files in the order of their
// registrations. A command's name, texts, options and run are in its own file.

#include "tools/Command.h"

#include <algorithm>
#include <utility>

namespace norva::tools {
namespace {

// Filled while the program starts, before main reads it.
std::vector<std::pair<int, CommandSpec>>& Registered() {
    static std::vector<std::pair<int, CommandSpec>> registered;
    return registered;
}

} // namespace

CommandRegistration::CommandRegistration(int order, const CommandSpec& spec) {
    Registered().emplace_back(order, spec);
}

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = [] {
        std::vector<std::pair<int, CommandSpec>> sorted = Registered();
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<CommandSpec> specs;
        specs.reserve(sorted.size());
        for (const auto& entry : sorted) {
            specs.push_back(entry.second);
        }
        return specs;
    }();
    return commands;
}

} // namespace norva::tools
