#include "serial/SerialPortList.h"

#include "platform/ComMap.h"

namespace norva {

void CSerialPortList::Clear() {
    m_ports.clear();
    m_entries.clear();
    m_nCount = 0;
}

bool CSerialPortList::Enumerate() {
    Clear();
    for (int n = 1; n <= kMaxComPort; ++n) {
        if (!ComPresent(n)) {
            continue;
        }
        const std::string name = "COM" + std::to_string(n);
        const std::string device = ComDevicePath(n);
        const PortDetails details = ComPortDetails(n);
        m_entries.push_back(
            {name, name, device, details.byId, details.vendor, details.model, details.serial});
        m_ports.push_back(static_cast<unsigned>(n));
        ++m_nCount;
    }
    return true;
}

} // namespace norva
