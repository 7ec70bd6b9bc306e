#include "tools/Subcommand.h"

#include <CLI/CLI.hpp>

#include <utility>

namespace norva::tools {

OptionRef& OptionRef::transform(ValueRule rule) {
    // CLI11 puts a validator's description into the help's type column; ours
    // leave it to the option's own type name.
    m_option->transform(CLI::Validator(std::move(rule), std::string()));
    return *this;
}

OptionRef& OptionRef::required() {
    m_option->required();
    return *this;
}

OptionRef& OptionRef::group(const std::string& name) {
    m_option->group(name);
    return *this;
}

OptionRef& OptionRef::type_name(const std::string& name) {
    m_option->type_name(name);
    return *this;
}

OptionRef& OptionRef::needs(const OptionRef& other) {
    m_option->needs(other.m_option);
    return *this;
}

OptionRef Subcommand::add_option(const std::string& names, int& value, const std::string& help) {
    return OptionRef(m_app.add_option(names, value, help));
}

OptionRef Subcommand::add_option(const std::string& names, uint32_t& value,
                                 const std::string& help) {
    return OptionRef(m_app.add_option(names, value, help));
}

OptionRef Subcommand::add_option(const std::string& names, std::string& value,
                                 const std::string& help) {
    return OptionRef(m_app.add_option(names, value, help));
}

OptionRef Subcommand::add_flag(const std::string& names, bool& value, const std::string& help) {
    return OptionRef(m_app.add_flag(names, value, help));
}

} // namespace norva::tools
