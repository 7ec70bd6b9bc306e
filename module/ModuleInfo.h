#pragma once
// The module's status as last read.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

namespace norva {

// A plain copy of the status, for display and for the pure parsers.
struct ModuleInfoData {
    char m_szAddress[13] = {};
    char m_szName[256] = {};
    int m_nOpMode = 0;
    int m_nLinkState = 0;
    int m_nInfoFlag5 = 0;
    int m_nInfoFlag6 = 0;
    int m_nFlowControl = 0;
    bool m_bFlowReported = false;

    std::string Address() const { return m_szAddress; }
    std::string Name() const { return m_szName; }
};

class ModuleInfo {
public:
    // Integers are read by the UI thread while the worker writes them.
    std::atomic<int> m_nOpMode{0};
    std::atomic<int> m_nLinkState{0};
    std::atomic<int> m_nInfoFlag5{0};
    std::atomic<int> m_nInfoFlag6{0};
    std::atomic<int> m_nFlowControl{0};
    // False when the last status line had no flow-control field (old
    // firmware): m_nFlowControl is then a default, not the module's word.
    std::atomic<bool> m_bFlowReported{false};

    // Stores at most 12 / 255 bytes, always terminated.
    void SetAddress(const char* text, size_t length);
    void SetName(const char* text, size_t length);
    std::string Address() const;
    std::string Name() const;
    ModuleInfoData Snapshot() const;

private:
    mutable std::mutex m_textLock;
    char m_szAddress[13] = {};
    char m_szName[256] = {};
};

} // namespace norva
