#pragma once
// The program's message boxes: an OK button only, the program's name as the
// title; a failure's box may offer one further action. Tests install a
// recorder that answers at once.

#include <QString>
#include <functional>
#include <string>

namespace norva {

class CMessageService {
public:
    virtual ~CMessageService() = default;
    // Runs on the UI thread and returns once the user has answered.
    // `informative` is a second, smaller line (empty: none).
    virtual void Show(const QString& text, const QString& informative);
    // A question with Yes and No (No the default); true for Yes.
    virtual bool Ask(const QString& text);
};

// A further button on a failure's box ("Save log..."): choosing it closes
// the box and runs `run`. OK stays the default and the Escape answer.
struct BoxAction {
    QString label;
    std::function<void()> run;
    bool Valid() const { return !label.isEmpty() && run; }
};

// A service that can offer the action. A service without it (a test's
// recorder) shows a failure as a plain box.
class CActionMessageService : public CMessageService {
public:
    virtual void ShowWithAction(const QString& text, const QString& informative,
                                const BoxAction& action);
};

// The service in use; never null.
CMessageService* MessageService();
// Installs `service` (null: the default boxes) and returns the one it replaces.
CMessageService* SetMessageService(CMessageService* service);

// Shorthands on the UI thread.
bool AskYesNo(const QString& text);
void ShowMessage(const QString& text, const QString& informative = {});
void ShowMessage(const std::string& utf8Text);

// The action offered with every failure from now on (an invalid one: none).
// UI thread only.
void SetFailureAction(BoxAction action);
// A failure: like ShowMessage, with the failure action when one is set.
void ShowFailure(const QString& text, const QString& informative = {});
void ShowFailure(const std::string& utf8Text);

// The resources of the GUI library (pictures, animation); safe to call twice.
void InitResources();

} // namespace norva
