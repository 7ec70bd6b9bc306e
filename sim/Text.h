// Small text helpers shared by the units' command parser and the program's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norva::sim {

std::string Upper(std::string_view text);
// A decimal number within lo..hi, nothing else around it.
bool ParseInt(std::string_view text, int lo, int hi, int* value);
std::vector<std::string_view> Split(std::string_view text, char sep);
// A Bluetooth address as the units use it: 12 hex digits, either case.
bool IsAddress(std::string_view text);
bool SameAddress(std::string_view a, std::string_view b);
// errno's text; strerror is not thread-safe, and a simulator may start on any thread.
std::string ErrnoText();

} // namespace norva::sim
