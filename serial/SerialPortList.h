#pragma once
// The COM ports present, COM1..COM255.

#include <string>
#include <vector>

namespace norva {

struct SerialPortEntry {
    std::string name;
    std::string port;   // "COMn"
    std::string device; // the device behind it
    // What the system knows of the device, empty when it says nothing: on
    // Linux the stable /dev/serial/by-id link and the USB vendor, model and
    // serial number from udev; on Windows the maker and the friendly name.
    std::string byId;
    std::string vendor;
    std::string model;
    std::string serial;
};

class CSerialPortList {
public:
    void Clear();
    bool Enumerate(); // always true
    SerialPortEntry GetEntry(int index) const { return m_entries.at(index); }

    std::vector<unsigned> m_ports;
    int m_nCount = 0;
    std::vector<SerialPortEntry> m_entries;
};

} // namespace norva
