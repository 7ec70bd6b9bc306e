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
    long long appeared = 0; // when the device appeared (seconds since the epoch), 0 unknown
};

// "COM33 (/dev/ttyUSB0)  /dev/serial/by-id/usb-...  FTDI FT232R USB UART  serial A5028"
std::string DescribePort(const SerialPortEntry& entry);

// What to do when no port is found, in the UI language.
std::string NoPortsHint();

class CSerialPortList {
public:
    void Clear();
    bool Enumerate(); // always true
    SerialPortEntry GetEntry(int index) const { return m_entries.at(index); }

    std::vector<unsigned> m_ports;
    int m_nCount = 0;
    std::vector<SerialPortEntry> m_entries;
    // One line per NORVAWIZARD_COM<n> that names no serial device, naming the
    // variable: such a number is not listed.
    std::vector<std::string> m_warnings;
};

} // namespace norva
