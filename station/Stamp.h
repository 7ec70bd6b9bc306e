#pragma once
// What a station stamps on an attempt: when and where.

#include <string>

namespace norva::station {

// "UTC now" as the register writes it.
std::string UtcNow();
// The machine's host name.
std::string HostName();

} // namespace norva::station
