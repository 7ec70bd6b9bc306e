#pragma once
// The program's message boxes: an OK button only, the program's name as the
// title. Tests install a recorder that answers at once.

#include <QString>
#include <string>

namespace norva {

class CMessageService {
public:
    virtual ~CMessageService() = default;
    // Runs on the UI thread and returns once the user has answered.
    // `informative` is a second, smaller line (empty: none).
    virtual void Show(const QString& text, const QString& informative);
};

// The service in use; never null.
CMessageService* MessageService();
// Installs `service` (null: the default boxes) and returns the one it replaces.
CMessageService* SetMessageService(CMessageService* service);

// Shorthands on the UI thread.
void ShowMessage(const QString& text, const QString& informative = {});
void ShowMessage(const std::string& utf8Text);

// The resources of the GUI library (pictures, animation); safe to call twice.
void InitResources();

} // namespace norva
