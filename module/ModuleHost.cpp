#include "module/ModuleHost.h"

#include "res/strings/StringTable.h"

namespace norva {

std::string NoticeText(Notice notice) {
    switch (notice) {
    case Notice::ResponsesSwitchedOn:
        return LoadString(IDS_RESPONSE_DISABLED);
    case Notice::FirmwareMismatch:
        return kFirmwareMismatchText;
    case Notice::EventsNotCreated:
        return kCreateEventFailedText;
    }
    return {};
}

} // namespace norva
