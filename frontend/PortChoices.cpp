#include "frontend/PortChoices.h"

#include "frontend/UnitSetting.h"
#include "res/strings/StringTable.h"
#include "serial/SerialPortList.h"

#include <algorithm>

namespace norva {
namespace {

std::string EntryText(const SerialPortEntry& entry) {
    std::string text = entry.port;
    // A device path that only spells the port again says nothing more.
    if (!entry.device.empty() && entry.device.find(entry.port) == std::string::npos) {
        text += " (" + entry.device + ")";
    }
    std::string product = entry.vendor;
    if (!entry.model.empty()) {
        product += (product.empty() ? "" : " ") + entry.model;
    }
    if (!entry.serial.empty()) {
        product += (product.empty() ? "serial " : ", serial ") + entry.serial;
    }
    if (!product.empty()) {
        text += " " + product;
    }
    return text;
}

} // namespace

void PortChoices::Reset() {
    m_listed.clear();
    m_newest = 0;
}

std::vector<PortItem> PortChoices::Read() {
    CSerialPortList ports;
    ports.Enumerate();
    std::vector<int> numbers;
    long long newestTime = 0;
    int newest = 0;
    for (const SerialPortEntry& entry : ports.m_entries) {
        const int number = ReadComNumber(entry.port);
        numbers.push_back(number);
        const bool came = !m_listed.empty() &&
                          std::find(m_listed.begin(), m_listed.end(), number) == m_listed.end();
        if (came) {
            m_newest = number;
        }
        if (entry.appeared > newestTime) {
            newestTime = entry.appeared;
            newest = number;
        }
    }
    if (m_listed.empty() && numbers.size() > 1) {
        m_newest = newest;
    }
    if (std::find(numbers.begin(), numbers.end(), m_newest) == numbers.end()) {
        m_newest = 0;
    }
    m_listed = numbers;
    std::vector<PortItem> items;
    for (size_t i = 0; i < ports.m_entries.size(); ++i) {
        const SerialPortEntry& entry = ports.m_entries[i];
        PortItem item{numbers[i], EntryText(entry), DescribePort(entry), entry.byId};
        if (numbers[i] == m_newest) {
            item.text += " - " + LoadString(IDS_PORT_PLUGGED_LAST);
        }
        items.push_back(std::move(item));
    }
    m_warnings = ports.m_warnings;
    return items;
}

} // namespace norva
