#pragma once
// The apply job's check: what the module reports after it acknowledged the
// settings, and how the user is told about a setting it did not keep.

#include "res/strings/StringTable.h"

#include <string>

namespace norva {

class CModuleControl;

enum NotStoredPart : int {
    NOT_STORED_MODE = 1,   // the status shows another operation mode
    NOT_STORED_FLOW = 2,   // the status shows the other flow-control setting
    NOT_STORED_UNREAD = 4, // no status could be read after the commands
};

// What was asked and what the status said, for the comparison and the text.
struct ReadBackValues {
    int askedMode = 0;
    int askedFlow = 1; // 1 = RTS/CTS
    int readMode = 0;
    int readFlow = 1;
    bool flowReported = true; // false: old firmware's short status line
};

// The NotStoredPart bits of a read status. An unreported flow setting is
// not held against the module: old firmware cannot say.
int MissingSettings(const ReadBackValues& v);

// The user's text for `missing`, naming each setting that was not stored.
std::string NotStoredText(int missing, const ReadBackValues& v, UiLanguage lang);
std::string NotStoredText(const CModuleControl& module);

} // namespace norva
