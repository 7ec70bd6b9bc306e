#pragma once
// Shared pieces of the GUI tests: a message-box service that records and
// answers at once, event pumping, and a sheet built the way start-up does.

#include "module/ModuleControl.h"
#include "pages/MessageService.h"
#include "pages/SheetMessages.h"
#include "support/ScriptedPeer.h"
#include "wizard/SerialSheet.h"

#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace norva::test {

struct ShownBox {
    QString text;
    QString informative;
    bool onUiThread = false;
    QString actionLabel; // the further button a failure's box offered; empty: none
};

class RecordingMessages : public CActionMessageService {
public:
    void Show(const QString& text, const QString& informative) override;
    // Recorded like Show, answered by `answer`.
    bool Ask(const QString& text) override;
    bool answer = true;
    // Recorded like Show; the action runs only when `pressAction` says so.
    void ShowWithAction(const QString& text, const QString& informative,
                        const BoxAction& action) override;
    std::vector<QString> Texts() const;
    size_t Count() const;
    ShownBox At(size_t i) const;
    void Clear();
    // Runs inside Show, on the UI thread, before it returns.
    std::function<void(const ShownBox&)> onShow;
    // Answers a box that offers an action: true presses the action's button.
    std::function<bool(const ShownBox&)> pressAction;

private:
    mutable std::mutex m_lock;
    std::vector<ShownBox> m_boxes;
};

// Delivers posted events (and runs due timers) for about `ms`.
void Pump(int ms = 0);
// Pumps until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    RecordingMessages messages;
    // The sheet's default ports, COM1 and COM2, lead nowhere: no test may
    // open the machine's own serial ports.
    ScopedEnv noCom1{"NORVAWIZARD_COM1", "/nonexistent/norva-test-com1"};
    ScopedEnv noCom2{"NORVAWIZARD_COM2", "/nonexistent/norva-test-com2"};
};

class SheetTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    CSerialSheet& S() { return *sheet; }
    CModuleControl& M() { return *sheet->Module(); }
    void ResetEvents();
    std::set<int> Signalled() const;
    // A job result as the worker delivers it.
    void Inject(int code, int jobId);
    void Show(CPropertyPage* page);
    // Opens the controller's port on `peer` and stops the worker, so that the
    // events a test looks at stay as the sheet left them.
    void OpenIdlePort(ScriptedPeer& peer);

    std::unique_ptr<CSerialSheet> sheet;
};

// Sanitizer builds run several times slower: bounds that only catch hangs
// grow with them.
#ifdef NORVA_SANITIZED_BUILD
inline constexpr int kSlowdown = 3;
#else
inline constexpr int kSlowdown = 1;
#endif

// COM numbers the tests map to their own devices.
inline constexpr int kTestCom1 = 201;
inline constexpr int kTestCom2 = 202;
std::string ComVariable(int n);

} // namespace norva::test

// Readable failure output for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
