#pragma once
// The port box's entries of a setting dialog, read from the system: one line
// per COM port with what the system knows of its device, the one plugged in
// last marked, since it is most likely the cable just attached.

#include <string>
#include <vector>

namespace norva {

struct PortItem {
    int number = 0;      // the N of COMN
    std::string text;    // "COM33 (/dev/ttyUSB0) FTDI FT232R, serial A5 - plugged in last"
    std::string details; // every detail on one line, for a tooltip
    std::string byId;    // a name of the device that stays across plugs; may be empty
};

class PortChoices {
public:
    // A new showing: nothing listed before.
    void Reset();
    // Reads the ports now; a port that came since the last reading is the
    // newest, else (first reading) the device that appeared last.
    std::vector<PortItem> Read();
    // Lines about NORVAWIZARD_COM<n> variables that name no serial device.
    const std::vector<std::string>& Warnings() const { return m_warnings; }

private:
    std::vector<int> m_listed;
    int m_newest = 0;
    std::vector<std::string> m_warnings;
};

} // namespace norva
