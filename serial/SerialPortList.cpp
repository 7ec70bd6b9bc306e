#include "serial/SerialPortList.h"

#include "platform/ComMap.h"
#include "res/strings/StringTable.h"

#include <filesystem>
#include <system_error>

namespace norva {

void CSerialPortList::Clear() {
    m_ports.clear();
    m_entries.clear();
    m_warnings.clear();
    m_nCount = 0;
}

bool CSerialPortList::Enumerate() {
    Clear();
    for (int n = 1; n <= kMaxComPort; ++n) {
        if (!ComPresent(n)) {
            if (ComOverridden(n)) {
                std::error_code ec;
                const std::string path = ComDevicePath(n);
                m_warnings.push_back(FormatString(std::filesystem::exists(path, ec)
                                                      ? IDS_COM_OVERRIDE_NOT_SERIAL
                                                      : IDS_COM_OVERRIDE_MISSING,
                                                  {std::to_string(n), path}));
            }
            continue;
        }
        const std::string name = "COM" + std::to_string(n);
        const std::string device = ComDevicePath(n);
        const PortDetails details = ComPortDetails(n);
        m_entries.push_back({name, name, device, details.byId, details.vendor, details.model,
                             details.serial, ComAppearedAt(n)});
        m_ports.push_back(static_cast<unsigned>(n));
        ++m_nCount;
    }
    return true;
}

std::string DescribePort(const SerialPortEntry& e) {
    std::string line = e.port + " (" + e.device + ")";
    if (!e.byId.empty()) {
        line += "  " + e.byId;
    }
    std::string product = e.vendor;
    if (!e.model.empty()) {
        product += (product.empty() ? "" : " ") + e.model;
    }
    if (!product.empty()) {
        line += "  " + product;
    }
    if (!e.serial.empty()) {
        line += "  serial " + e.serial;
    }
    return line;
}

std::string NoPortsHint() {
    return LoadString(ComNumbersFromDeviceTable() ? IDS_NO_PORTS : IDS_NO_PORTS_SYSTEM);
}

} // namespace norva
