#pragma once
// The host for fuzzing: message boxes are answered at once, rows and boxes
// only counted (rows are checked as they come in).

#include "module/ModuleHost.h"

#include <atomic>

namespace norva::fuzz {

class FuzzHost : public IModuleHost {
public:
    void PostJobResult(int, int) override {}
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice) override;
    void ShowMessageBox(const std::string& text, const Event* stop) override;
    void ShowBanner(Banner) override {}
    void HideBanner(Banner) override {}

    std::atomic<int> rows{0};
    std::atomic<int> boxes{0};
};

} // namespace norva::fuzz
