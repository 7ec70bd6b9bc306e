#pragma once
// The program's fixed user texts, English and Korean, by string id.

#include <initializer_list>
#include <string>

namespace norva {

enum StringId : int {
    IDS_RESPONSE_DISABLED = 103,
    IDS_COMM_FAILED = 104,
    IDS_CONNECT_TIMEOUT = 105,
    IDS_CONNECT_FAILED = 106,
    IDS_DISCONNECTED = 107,
    IDS_SCAN_ERROR = 108,
    IDS_RESET_FAILED = 110,
    IDS_SETTING_FINISHED = 111,
    IDS_PORT_OPEN_FAILED = 112,
    // Texts of this program's own, beyond the original table.
    IDS_DEVICE_GONE = 201,      // %s: the port's own report
    IDS_UNIT1_AGAIN = 202,      // %s: the address
    IDS_NOT_UNIT1 = 203,        // %s: the address found, %s: unit 1's
    IDS_CONNECT_SELF = 204,     // %s: the address
    IDS_ODD_PARITY = 205,       //
    IDS_PICK_UNIT1 = 254,       //
    IDS_QUIT_HALF_PAIRED = 255, //
    // Finding the port of the cable.
    IDS_NO_PORTS = 270,                // COM numbers from the device table
    IDS_NO_PORTS_SYSTEM = 271,         // COM numbers from the system
    IDS_COM_OVERRIDE_MISSING = 272,    // %s: the number, %s: the path
    IDS_COM_OVERRIDE_NOT_SERIAL = 273, // %s: the number, %s: the path
    IDS_PORT_REQUIRED = 274,           //
    IDS_PORT_PLUGGED_LAST = 275,       //
    IDS_DEMO_SIMULATED = 276,          // after the caption when the simulator runs the wizard
    IDS_FLOW_NOT_STORED = 206,         //
    IDS_APPLY_NOT_CONFIRMED = 207,     //
    // The setting dialog's search for the module's UART setting.
    IDS_DETECT_BUTTON = 208,   //
    IDS_DETECT_STOP = 209,     //
    IDS_DETECT_PROGRESS = 210, // %s: the setting tried, %s: its number, %s: the count
    IDS_DETECT_FOUND = 211,    // %s: the setting
    IDS_DETECT_NONE = 212,     // %s: the port
    IDS_DETECT_FAILED = 213,   // %s: the port's own report
    IDS_DETECT_IN_USE = 214,   // %s: the port
    IDS_DETECT_STOPPED = 215,  //
    IDS_DETECT_NO_PORT = 216,  //
    // What the status showed after an apply, and the session log.
    IDS_APPLY_CONFIRMATION = 220,  // %s: the unit, %s: shown now, %s: shown after a restart
    IDS_APPLY_STATUS_UNREAD = 221, //
    IDS_APPLY_NOTHING_SHOWN = 222, //
    IDS_HANGUP_FAILED = 223,       //
    IDS_SAVE_LOG = 224,            // a button
    IDS_SAVE_LOG_TITLE = 225,      // the file dialog's title
    IDS_SAVE_LOG_FAILED = 226,     // %s: the path, %s: the reason
    IDS_LOG_SAVED = 227,           // %s: the path
    // The pair check after step 8. Unit texts: %s the unit, %s its port, then as noted.
    IDS_VERIFY_PAIR_OK = 240,         //
    IDS_VERIFY_PAIR_NOT = 241,        //
    IDS_VERIFY_UNIT_OK = 242,         // %s: the partner's address
    IDS_VERIFY_OPEN_FAILED = 243,     // %s: the system's reason
    IDS_VERIFY_NO_ANSWER = 244,       //
    IDS_VERIFY_LINK_NOT_UP = 245,     // %s: seconds, %s: the mode the unit reports
    IDS_VERIFY_WRONG_PARTNER = 246,   // %s: the address linked with, %s: the partner's
    IDS_VERIFY_PARTNER_UNNAMED = 247, //
    IDS_VERIFY_DEVICE_GONE = 248,     // %s: the port's report
    IDS_VERIFY_CANCELLED = 249,       //
    IDS_VERIFY_BUTTON = 250,          //
    IDS_VERIFY_PROGRESS = 251,        //
    IDS_VERIFY_NOT_STORED = 252,      // %s: what the status shows, %s: what was stored
    IDS_VERIFY_UNIT_LINKED = 253,     //
    IDS_VERIFY_POWER_CYCLE = 256,     // one cable: the unit that is not on it
    // The pairing station.
    IDS_PRINT_LABEL = 260,        // a button
    IDS_PRINT_LABEL_FAILED = 261, // %s: the reason
    IDS_PAIR_REFUSED = 262,       // %s: the unit, %s: its address, %s: its pair
};

enum class UiLanguage { English, Korean };

// Picks the language from LC_ALL / LC_MESSAGES / LANG ("ko..." is Korean).
UiLanguage LanguageFromEnvironment();
// The language LoadString uses; the environment's until set.
void SetUiLanguage(UiLanguage lang);
UiLanguage GetUiLanguage();

// The text of `id` with each %s replaced, in order, by the next of `args`.
std::string FormatString(int id, std::initializer_list<std::string> args);
std::string FormatString(int id, UiLanguage lang, std::initializer_list<std::string> args);

// The text of `id` in the current language; empty for an unknown id.
std::string LoadString(int id);
std::string LoadString(int id, UiLanguage lang);

// Fixed texts that are not in the string table.
inline constexpr const char* kFirmwareMismatchText =
    "Firmware version does not match. Disabling H/W flow control is ineffective";
inline constexpr const char* kCreateEventFailedText = "CreateEvent failed\r\n";
inline constexpr const char* kInsufficientMemoryText = "Insufficient memory.";
inline constexpr const char* kCheckingBannerText = "Checking Norva-BX... Please wait.";
inline constexpr const char* kApplyingBannerText = "Applying Setting, Please wait.";

// The apply job's failure text: the Korean prefix followed by the step text
// chosen by the operation code that was under way.
std::string ApplyFailureText(int curOp);

} // namespace norva
