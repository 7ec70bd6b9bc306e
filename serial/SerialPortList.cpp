#include "serial/SerialPortList.h"

#include "platform/ComMap.h"
#include "platform/SystemDirs.h"
#include "serial/PortDetails.h"

namespace norva {

void CSerialPortList::Clear() {
    m_ports.clear();
    m_entries.clear();
    m_nCount = 0;
}

bool CSerialPortList::Enumerate() {
    Clear();
    const std::string byIdDir = ByIdDir();
    for (int n = 1; n <= kMaxComPort; ++n) {
        if (!ComPresent(n)) {
            continue;
        }
        const std::string name = "COM" + std::to_string(n);
        const std::string device = ComDevicePath(n);
        const PortDetails details = UdevPortDetails(device);
        m_entries.push_back({name, name, device, FindByIdLink(device, byIdDir), details.vendor,
                             details.model, details.serial});
        m_ports.push_back(static_cast<unsigned>(n));
        ++m_nCount;
    }
    return true;
}

} // namespace norva
