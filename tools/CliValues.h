#pragma once
// The values norvactl's options and arguments take, as CLI11 transforms: each
// rewrites its text into the number (or canonical text) the option stores, or
// says why the text is not a valid value.

#include <CLI/CLI.hpp>

namespace norva::tools {

// A decimal integer in [min, max]; `what` names the value in the message.
CLI::Validator IntIn(long min, long max, const char* what);
// none|even|odd (or n|e|o), any case -> the platform parity code.
CLI::Validator ParityName();
// The same, for a parity the module is to store: odd is refused.
CLI::Validator ModuleParityName();
inline constexpr const char* kOddParityRefused =
    "the module does not store odd parity: choose none or even";
// 1|2 -> the platform stop-bit code.
CLI::Validator StopBits();
// A baud rate the module stores (1200 ... 230400).
CLI::Validator ModuleBaud();
// A baud rate the computer's port can use.
CLI::Validator PortBaud();
// COMn or n (1..255) -> n.
CLI::Validator ComPort();
// 12 hexadecimal digits, colons or dashes allowed -> the 12 digits, upper case.
CLI::Validator Address();

} // namespace norva::tools
