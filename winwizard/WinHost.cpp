#include "winwizard/WinHost.h"

#include "frontend/SheetMessages.h"
#include "winwizard/WinSheet.h"
#include "winwizard/resource.h"

#include <cstdint>

namespace norva::win {

CWinModuleHost::CWinModuleHost(CWinSheet& sheet)
    : m_sheet(sheet), m_uiThread(GetCurrentThreadId()) {}

CWinModuleHost::~CWinModuleHost() {
    Detach();
}

LPARAM CWinModuleHost::PackResult(int jobId, int generation) {
    const auto high = static_cast<uint64_t>(static_cast<uint32_t>(generation)) << 32;
    return static_cast<LPARAM>(high | static_cast<uint32_t>(jobId));
}

void CWinModuleHost::PostResult(int code, int jobId, int generation) {
    PostMessageW(m_sheet.Hwnd(), WM_JOB_RESULT, static_cast<WPARAM>(code),
                 PackResult(jobId, generation));
}

void CWinModuleHost::Queue(std::function<void()> call) {
    m_sheet.Queue().Post(std::move(call));
}

void CWinModuleHost::AddRowNow(const std::string& address, const std::string& name,
                               const std::string& classOfDevice) {
    m_sheet.Connection().AddDeviceRow(address, name, classOfDevice);
}

void CWinModuleHost::ShowBoxNow(const std::string& text) {
    ShowBox(m_sheet.Hwnd(), text, {}, false);
}

void CWinModuleHost::CreateBannerNow(Banner which) {
    HWND& slot = Slot(which);
    if (slot != nullptr) {
        return;
    }
    // The checking banner belongs to the sheet; the applying one stands alone.
    slot = which == Banner::Checking ? CreateBanner(IDD_CHECKING, m_sheet.Hwnd())
                                     : CreateBanner(IDD_APPLYING, nullptr);
}

void CWinModuleHost::DestroyBannerNow(Banner which) {
    HWND& slot = Slot(which);
    if (slot != nullptr) {
        DestroyWindow(slot);
        slot = nullptr;
    }
}

bool CWinModuleHost::HideBannerWindow(Banner which) {
    HWND slot = Slot(which);
    if (slot == nullptr || !IsWindowVisible(slot)) {
        return false;
    }
    ShowWindow(slot, SW_HIDE);
    return true;
}

void CWinModuleHost::ShowBannerWindow(Banner which) {
    if (HWND slot = Slot(which)) {
        ShowWindow(slot, SW_SHOWNOACTIVATE);
    }
}

} // namespace norva::win
