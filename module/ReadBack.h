#pragma once
// The apply job's look at the status after the module acknowledged the
// settings. A module may show a new mode or flow control in its status only
// after its next restart, and may already listen at the new UART setting, so
// what this read shows is news, never proof of a failure: only a status read
// after a restart can show that a setting was not kept.

#include "module/Job.h"
#include "res/strings/StringTable.h"

#include <string>

namespace norva {

struct ApplyConfirmation {
    bool statusRead = false;  // a status came back after the commands
    bool modeShown = false;   // and it showed the mode asked
    bool flowShown = false;   // and the flow control asked
    bool flowReported = true; // false: a status line without the flow field
};

// What a status read after the commands confirms of the settings asked.
ApplyConfirmation ConfirmApplied(int askedMode, int askedFlow, int readMode, int readFlow,
                                 bool flowReported);

// "9600,N,1": the UART setting as the module's command writes it.
std::string UartSettingText(const StoredSettings& s);
// "operation mode 1" / "hardware flow control off", in `lang`.
std::string ModeText(int mode, UiLanguage lang);
std::string FlowText(int flow, UiLanguage lang);

// One line: what the status confirmed now, and what the restart confirms.
std::string ConfirmationText(const std::string& unit, const StoredSettings& asked,
                             const ApplyConfirmation& c, UiLanguage lang);

} // namespace norva
