#pragma once
// The controller's host on Windows: results reach the sheet as posted
// WM_JOB_RESULT messages; rows, boxes and banners as calls on the UI queue.

#include "frontend/QueuedHost.h"

#include "winwizard/Win32.h"

namespace norva::win {

class CWinSheet;

class CWinModuleHost : public QueuedModuleHost {
public:
    // Made on the UI thread, with the sheet; must outlive the controller.
    explicit CWinModuleHost(CWinSheet& sheet);
    ~CWinModuleHost() override;

    // lParam of WM_JOB_RESULT: the job id, and above it the controller's
    // generation when the worker posted it (-1: none).
    static LPARAM PackResult(int jobId, int generation);
    static int JobIdOf(LPARAM lParam) { return static_cast<int>(lParam & 0xFFFFFFFF); }
    static int GenerationOf(LPARAM lParam) { return static_cast<int>(lParam >> 32); }

protected:
    void PostResult(int code, int jobId, int generation) override;
    void Queue(std::function<void()> call) override;
    bool OnUiThread() const override { return GetCurrentThreadId() == m_uiThread; }
    void AddRowNow(const std::string& address, const std::string& name,
                   const std::string& classOfDevice) override;
    void ShowBoxNow(const std::string& text) override;
    void CreateBannerNow(Banner which) override;
    void DestroyBannerNow(Banner which) override;
    bool HideBannerWindow(Banner which) override;
    void ShowBannerWindow(Banner which) override;

private:
    HWND& Slot(Banner which) { return which == Banner::Checking ? m_checking : m_applying; }

    CWinSheet& m_sheet;
    DWORD m_uiThread;
    HWND m_checking = nullptr;
    HWND m_applying = nullptr;
};

} // namespace norva::win
