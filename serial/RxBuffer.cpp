#include "serial/RxBuffer.h"

#include <cstring>

namespace norva {

void CRxBuffer::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_nWritePos = 0;
    m_nReadPos = 0;
    std::memset(m_data, 0, sizeof m_data);
    m_nCount = 0;
}

int CRxBuffer::GetCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nCount;
}

int CRxBuffer::Write(const void* pData, int nLength) {
    // A negative length is refused like 0 rather than read as a huge copy.
    if (nLength <= 0 || pData == nullptr) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (kCapacity - m_nCount < nLength) {
        return -1;
    }
    const auto* src = static_cast<const uint8_t*>(pData);
    const int run = kCapacity - m_nWritePos; // slots after the last written one
    if (nLength <= run) {
        std::memcpy(m_data + m_nWritePos + 1, src, static_cast<size_t>(nLength));
    } else {
        std::memcpy(m_data + m_nWritePos + 1, src, static_cast<size_t>(run));
        std::memcpy(m_data, src + run, static_cast<size_t>(nLength - run));
    }
    m_nWritePos = (m_nWritePos + nLength) % kSlots;
    m_nCount += nLength;
    return nLength;
}

int CRxBuffer::Read(void* pDest, int nLength) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (nLength <= 0 || pDest == nullptr || m_nCount < nLength) {
        return 0;
    }
    auto* dst = static_cast<uint8_t*>(pDest);
    const int run = kCapacity - m_nReadPos;
    if (nLength <= run) {
        std::memcpy(dst, m_data + m_nReadPos + 1, static_cast<size_t>(nLength));
    } else {
        std::memcpy(dst, m_data + m_nReadPos + 1, static_cast<size_t>(run));
        std::memcpy(dst + run, m_data, static_cast<size_t>(nLength - run));
    }
    m_nReadPos = (m_nReadPos + nLength) % kSlots;
    m_nCount -= nLength;
    return nLength;
}

int CRxBuffer::WritePos() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nWritePos;
}

int CRxBuffer::ReadPos() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nReadPos;
}

} // namespace norva
