#pragma once
// Fixed ring between the serial reader thread and the command engine.

#include <cstdint>
#include <mutex>

namespace norva {

class CRxBuffer {
public:
    static constexpr int kSlots = 1024;
    static constexpr int kCapacity = kSlots - 1; // one slot stays free

    CRxBuffer() { Clear(); }
    virtual ~CRxBuffer() = default;
    CRxBuffer(const CRxBuffer&) = delete;
    CRxBuffer& operator=(const CRxBuffer&) = delete;

    void Clear();
    int GetCount() const;
    // nLength when stored whole, -1 when nothing was stored.
    int Write(const void* pData, int nLength);
    // nLength when taken whole, 0 when nothing was taken.
    int Read(void* pDest, int nLength);

    // For tests: positions of the slots written and read last.
    int WritePos() const;
    int ReadPos() const;

private:
    mutable std::mutex m_lock;
    uint8_t m_data[kSlots];
    int m_nReadPos = 0;
    int m_nWritePos = 0;
    int m_nCount = 0;
};

} // namespace norva
