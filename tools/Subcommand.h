#pragma once
// What a command adds to its subcommand. CLI11 is header-only and costs every
// file that includes it seconds of build in each of the four builds, so the
// command files reach it through this small front, and only Subcommand.cpp
// and the command line itself include it. The calls are CLI11's own.

#include "tools/CliValues.h"

#include <cstdint>
#include <string>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace norva::tools {

// One option, for chaining: sub.add_option(…).transform(…).required().
class OptionRef {
public:
    explicit OptionRef(CLI::Option* option) : m_option(option) {}
    OptionRef& transform(ValueRule rule);
    OptionRef& required();
    OptionRef& group(const std::string& name);
    OptionRef& type_name(const std::string& name);
    OptionRef& needs(const OptionRef& other);

private:
    CLI::Option* m_option;
};

class Subcommand {
public:
    explicit Subcommand(CLI::App& app) : m_app(app) {}
    OptionRef add_option(const std::string& names, int& value, const std::string& help);
    OptionRef add_option(const std::string& names, uint32_t& value, const std::string& help);
    OptionRef add_option(const std::string& names, std::string& value, const std::string& help);
    OptionRef add_flag(const std::string& names, bool& value, const std::string& help);

private:
    CLI::App& m_app;
};

} // namespace norva::tools
