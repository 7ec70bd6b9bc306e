#pragma once
// What the controller and its worker need from the program above them. The Qt
// layer implements it by posting to the UI thread; tests and tools record.

#include <string>

namespace norva {

class Event;

enum class Banner { Checking, Applying };

// The boxes the controller asks for; the host words them.
enum class Notice {
    // The module had its response messages switched off; they are on again.
    ResponsesSwitchedOn,
    // Its firmware knows only the UART command without flow control.
    FirmwareMismatch,
    // The job events could not be made: no job can run.
    EventsNotCreated,
};

// The texts the program shows for each notice.
std::string NoticeText(Notice notice);

class IModuleHost {
public:
    virtual ~IModuleHost() = default;
    // A finished job's result; must return without waiting for the receiver.
    virtual void PostJobResult(int code, int jobId) = 0;
    // One device found by an inquiry (called on the worker thread).
    virtual void AddDeviceRow(const std::string& address, const std::string& name,
                              const std::string& classOfDevice) = 0;
    // Shows `text` with an OK button and blocks the caller until it is
    // dismissed, or until `stop` (may be null) becomes set.
    virtual void ShowMessageBox(const std::string& text, const Event* stop) = 0;
    // A notice the user must see; blocks like ShowMessageBox. By default it
    // is shown as its text.
    virtual void ShowNotice(Notice notice, const Event* stop) {
        ShowMessageBox(NoticeText(notice), stop);
    }
    // The two wait banners; shown/hidden from the worker thread.
    virtual void ShowBanner(Banner which) = 0;
    virtual void HideBanner(Banner which) = 0;
};

} // namespace norva
