#include "FuzzHost.h"

#include "FuzzCheck.h"
#include "module/Catalogue.h"

#include <string>

namespace norva::fuzz {

void FuzzHost::AddDeviceRow(const std::string& address, const std::string& name,
                            const std::string& classOfDevice) {
    // A row comes from one token of the inquiry's accumulation.
    const size_t total = address.size() + name.size() + classOfDevice.size();
    FUZZ_CHECK(total <= static_cast<size_t>(catalogue::kMaxAccumulation));
    rows.fetch_add(1);
}

void FuzzHost::ShowMessageBox(const std::string& text, const Event*) {
    FUZZ_CHECK(!text.empty());
    boxes.fetch_add(1);
}

} // namespace norva::fuzz
