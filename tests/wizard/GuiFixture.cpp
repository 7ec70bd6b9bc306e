#include "GuiFixture.h"

#include "support/ControlProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>

namespace norva::test {

void RecordingMessages::Show(const QString& text, const QString& informative) {
    ShownBox box{text, informative, QThread::currentThread() == qApp->thread(), {}};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_boxes.push_back(box);
    }
    if (onShow) {
        onShow(box);
    }
}

bool RecordingMessages::Ask(const QString& text) {
    Show(text, QString());
    return answer;
}

void RecordingMessages::ShowWithAction(const QString& text, const QString& informative,
                                       const BoxAction& action) {
    ShownBox box{text, informative, QThread::currentThread() == qApp->thread(), action.label};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_boxes.push_back(box);
    }
    if (onShow) {
        onShow(box);
    }
    if (pressAction && pressAction(box)) {
        action.run();
    }
}

std::vector<QString> RecordingMessages::Texts() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<QString> texts;
    for (const ShownBox& box : m_boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

size_t RecordingMessages::Count() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_boxes.size();
}

ShownBox RecordingMessages::At(size_t i) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_boxes.at(i);
}

void RecordingMessages::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_boxes.clear();
}

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ms > 0) {
            QThread::msleep(2);
        }
    } while (timer.elapsed() < ms);
    QCoreApplication::sendPostedEvents();
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return done();
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_old = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_old) {
        setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}

std::string ComVariable(int n) {
    return "NORVAWIZARD_COM" + std::to_string(n);
}

void GuiTest::SetUp() {
    SetMessageService(&messages);
}

void GuiTest::TearDown() {
    SetMessageService(nullptr);
}

void SheetTest::SetUp() {
    GuiTest::SetUp();
    sheet = std::make_unique<CSerialSheet>(QStringLiteral("Configuration"));
    sheet->SetWizardMode();
    sheet->OnInitDialog();
    Pump();
    ASSERT_NE(sheet->Module(), nullptr);
}

void SheetTest::TearDown() {
    sheet.reset();
    Pump();
    GuiTest::TearDown();
}

void SheetTest::ResetEvents() {
    for (int slot = 0; slot < kJobEventCount; ++slot) {
        if (Event* e = test::ControlProbe::JobEvent(M(), slot)) {
            e->Reset();
        }
    }
}

std::set<int> SheetTest::Signalled() const {
    std::set<int> signalled;
    for (int slot = 0; slot < kJobEventCount; ++slot) {
        const Event* e = test::ControlProbe::JobEvent(*sheet->Module(), slot);
        if (e != nullptr && e->IsSet()) {
            signalled.insert(slot);
        }
    }
    return signalled;
}

void SheetTest::Inject(int code, int jobId) {
    SendSheetMessage(sheet.get(), WM_JOB_RESULT, code, jobId);
    Pump();
}

void SheetTest::Show(CPropertyPage* page) {
    sheet->SetActivePage(page);
    Pump();
}

void SheetTest::OpenIdlePort(ScriptedPeer& peer) {
    ASSERT_TRUE(peer.Ok());
    ASSERT_EQ(M().OpenPortPath(peer.Path(), 9600, 0, 0), 1);
    M().StopWorker();
    ResetEvents();
}

} // namespace norva::test
