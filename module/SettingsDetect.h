#pragma once
// Finds the UART setting stored in a module: tries every setting the module
// can store on one port, most likely first, until one answers the
// controller's probe ("AT", OK), changing the line without reopening it.

#include "module/Catalogue.h"
#include "platform/Event.h"
#include "platform/SerialDevice.h"

#include <functional>
#include <span>
#include <string>

namespace norva {

// Every rate of the value table, parity None or Even (the module never stores
// Odd), 1 or 2 stop bits.
inline constexpr int kDetectSettingCount = 36;
inline constexpr int kDetectMarginMs = catalogue::kDetectMarginMs;

// The settings in the order they are tried.
std::span<const LineSettings> DetectOrder();

// How long one try at `s` waits for its reply: the time "AT\r" and
// "\r\nOK\r\n" take on the wire, plus kDetectMarginMs.
int DetectProbeMs(const LineSettings& s);

struct DetectResult {
    enum class Outcome {
        Found,      // `setting` answered OK
        NoAnswer,   // every setting was tried, none answered
        OpenFailed, // `reason` says why (the OS's words)
        DeviceGone, // the device went away during the search
        Cancelled,  // the stop event was set
    };
    Outcome outcome = Outcome::NoAnswer;
    LineSettings setting;
    int tried = 0; // settings tried, the one that answered included
    std::string reason;
};

// Called on the searching thread before each try: `index` is 1-based.
using DetectProgress = std::function<void(int index, int count, const LineSettings& setting)>;

// Blocks until a setting answered, all were tried, or `stop` (a manual-reset
// event, may be null) was set. The port is opened and closed inside the call,
// whatever the outcome.
DetectResult DetectSettings(const std::string& path, Event* stop, const DetectProgress& progress);

// "--baud 115200 --parity even --stop 2", as norvactl takes it back.
std::string DetectOptionText(const LineSettings& s);
// "115200,even,2", as pair's --line, --unit1-line and --unit2-line take it.
std::string DetectLineText(const LineSettings& s);

} // namespace norva
