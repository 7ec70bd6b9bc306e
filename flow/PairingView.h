#pragma once
// What the pairing flow needs of a front end: the wizard's sheet shows it with
// pages and message boxes, norvactl pair with lines on a terminal.

#include <cstdint>
#include <string>

namespace norva::flow {

// The nine steps, in the wizard's page order.
enum Step : int {
    STEP_NONE = -1,
    STEP_FIRST = 0,        // unit 1 checked
    STEP_SCAN = 1,         // unit 1 made discoverable
    STEP_SCAN_WAIT = 2,    // unit 2 attached and checked
    STEP_SEARCH = 3,       // unit 2 searches
    STEP_CONNECTION = 4,   // unit 2 connects to unit 1
    STEP_SUCCESS = 5,      // linked
    STEP_MODE = 6,         // unit 2's UART and mode stored
    STEP_MODE1 = 7,        // unit 1 back on the cable, its UART and mode stored
    STEP_MODE_SUCCESS = 8, // both configured
};
inline constexpr int kStepCount = 9;

// The wizard's buttons, as the sheet's PSWIZB_* flags.
enum Buttons : int {
    BUTTON_BACK = 1,
    BUTTON_NEXT = 2,
};

enum Unit : int { UNIT_1 = 1, UNIT_2 = 2 };

// How the computer talks to a unit: a COM number or, when set, a device path.
struct UnitLine {
    int port = 0;
    std::string device;
    uint32_t baud = 9600;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
};

// The UART setting to store in a unit (steps 7 and 8), as the pages hold it.
struct UartChoice {
    int baud = 9600;
    int parity = 0;
    int stopBits = 0;
    // "Don't use Hardware Flow control" unticked.
    int flowControl = 1;
};

// "9600,none,1,flow": a stored UART as the register, labels and reports write it.
std::string UartText(const UartChoice& uart);

class IPairingView {
public:
    virtual ~IPairingView() = default;

    virtual int ActiveStep() const = 0;
    virtual void ShowStep(int step) = 0;
    // Tells the user and returns once they have read it; false when the run
    // ended meanwhile (the wizard was closed inside the box).
    virtual bool Say(const std::string& text) = 0;
    // The same for news that is not a failure.
    virtual bool Inform(const std::string& text) = 0;
    // A line of news that needs no answer: shown with the step now active
    // (after ShowStep, with the new one) until the step changes.
    virtual void Note(const std::string& text) = 0;
    virtual void ReportOpenFailure(const std::string& reason) = 0;
    // Hands the wizard's buttons (Buttons flags) to the user.
    virtual void SetButtons(int flags) = 0;

    // Step 5: the device search display and the connecting dialog.
    virtual void BeginSearchDisplay() = 0;
    virtual void EndSearchDisplay() = 0;
    virtual bool Searching() const = 0;
    virtual void EnableSearchButton(bool enable) = 0;
    virtual void EnableConnectButtons() = 0;
    virtual void EndConnecting(int code) = 0;
    virtual void ShowConnected() = 0;

    virtual UnitLine LineOf(int unit) const = 0;
    // After a failed open on a storing step: the unit's line settings offered.
    virtual void OfferLineSettings(int unit) = 0;
    virtual UartChoice UartOf(int step) const = 0;
};

} // namespace norva::flow
