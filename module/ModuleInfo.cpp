#include "module/ModuleInfo.h"

#include <algorithm>
#include <cstring>

namespace norva {

namespace {
// Copies at most sizeof(dest) - 1 bytes and zero-fills the rest, so the text
// is always terminated whatever the module sent.
template <size_t N> void CopyBounded(char (&dest)[N], const char* text, size_t length) {
    const size_t n = text == nullptr ? 0 : std::min(length, N - 1);
    if (n > 0) {
        std::memcpy(dest, text, n);
    }
    std::memset(dest + n, 0, N - n);
}
} // namespace

void ModuleInfo::SetAddress(const char* text, size_t length) {
    std::lock_guard<std::mutex> lock(m_textLock);
    CopyBounded(m_szAddress, text, length);
}

void ModuleInfo::SetName(const char* text, size_t length) {
    std::lock_guard<std::mutex> lock(m_textLock);
    CopyBounded(m_szName, text, length);
}

std::string ModuleInfo::Address() const {
    std::lock_guard<std::mutex> lock(m_textLock);
    return std::string(m_szAddress);
}

std::string ModuleInfo::Name() const {
    std::lock_guard<std::mutex> lock(m_textLock);
    return std::string(m_szName);
}

ModuleInfoData ModuleInfo::Snapshot() const {
    ModuleInfoData data;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        std::memcpy(data.m_szAddress, m_szAddress, sizeof m_szAddress);
        std::memcpy(data.m_szName, m_szName, sizeof m_szName);
    }
    data.m_nOpMode = m_nOpMode.load();
    data.m_nLinkState = m_nLinkState.load();
    data.m_nInfoFlag5 = m_nInfoFlag5.load();
    data.m_nInfoFlag6 = m_nInfoFlag6.load();
    data.m_nFlowControl = m_nFlowControl.load();
    data.m_bFlowReported = m_bFlowReported.load();
    return data;
}

} // namespace norva
