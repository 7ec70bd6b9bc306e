#pragma once
// Bluetooth addresses as the user types them and as the module reports them.

#include <string>

namespace norva::flow {

// True when two addresses name the same device (case and the colons, dashes
// and spaces of a typed address do not count); never for an empty one.
bool SameAddress(const std::string& a, const std::string& b);

// True for an address the module can dial: exactly 12 hexadecimal digits.
bool DialableAddress(const std::string& address);

} // namespace norva::flow
