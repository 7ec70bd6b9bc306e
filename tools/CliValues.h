#pragma once
// The values norvactl's options and arguments take, as rules for an option's
// text: each rewrites the text into the number (or canonical text) the option
// stores and returns "", or returns why the text is not a valid value.

#include <functional>
#include <string>

namespace norva::tools {

using ValueRule = std::function<std::string(std::string&)>;

// A decimal integer in [min, max]; `what` names the value in the message.
ValueRule IntIn(long min, long max, const char* what);
// none|even|odd (or n|e|o), any case -> the platform parity code.
ValueRule ParityName();
// The same, for a parity the module is to store: odd is refused.
ValueRule ModuleParityName();
inline constexpr const char* kOddParityRefused =
    "the module does not store odd parity: choose none or even";
// 1|2 -> the platform stop-bit code.
ValueRule StopBits();
// A baud rate the module stores (1200 ... 230400).
ValueRule ModuleBaud();
// A baud rate the computer's port can use.
ValueRule PortBaud();
// COMn or n (1..255) -> n.
ValueRule ComPort();
// 12 hexadecimal digits, colons or dashes allowed -> the 12 digits, upper case.
ValueRule Address();

} // namespace norva::tools
