#include "wizard/QtModuleHost.h"

#include "module/ModuleControl.h"
#include "pages/Connection.h"
#include "pages/MessageService.h"
#include "pages/ProgressDialogs.h"
#include "pages/SheetMessages.h"
#include "pages/ThreadHandoff.h"
#include "platform/Event.h"
#include "res/strings/StringTable.h"
#include "wizard/SerialSheet.h"

#include <QCoreApplication>
#include <QThread>
#include <array>
#include <functional>
#include <memory>

namespace norva {
namespace {

// Sets `done` when the last copy of the UI-thread call goes, whether that
// call ran or was dropped (receiver gone, application ending), so that the
// worker can never wait for a box that will not come.
struct Completion {
    explicit Completion(std::shared_ptr<Event> event) : done(std::move(event)) {}
    ~Completion() { done->Set(); }
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    std::shared_ptr<Event> done;
};

} // namespace

void CQtModuleHost::Queue(std::function<void()> call) {
    PostUiCall(this, std::move(call));
}

bool CQtModuleHost::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

CQtModuleHost::CQtModuleHost(CSerialSheet* sheet) : m_sheet(sheet) {}

CQtModuleHost::~CQtModuleHost() {
    Detach();
}

bool CQtModuleHost::OnUiThread() const {
    return QThread::currentThread() == thread();
}

CSerialSheet* CQtModuleHost::Sheet() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sheet.data();
}

void CQtModuleHost::Detach() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sheet = nullptr;
    }
    DestroyBanner(Banner::Checking);
    DestroyBanner(Banner::Applying);
}

void CQtModuleHost::PostJobResult(int code, int jobId) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_sheet.isNull()) {
        const CModuleControl* module = m_module.load();
        auto* event = new SheetEvent(WM_JOB_RESULT, code, jobId,
                                     module != nullptr ? module->Generation() : -1);
        MarkPublished();
        QCoreApplication::postEvent(m_sheet.data(), event);
    }
}

void CQtModuleHost::AddDeviceRow(const std::string& address, const std::string& name,
                                 const std::string& classOfDevice) {
    auto add = [this, address, name, classOfDevice] {
        CSerialSheet* sheet = Sheet();
        if (sheet != nullptr && sheet->ConnectionPage() != nullptr) {
            sheet->ConnectionPage()->AddDeviceRow(QString::fromStdString(address),
                                                  QString::fromStdString(name),
                                                  QString::fromStdString(classOfDevice));
        }
    };
    if (OnUiThread()) {
        add();
        return;
    }
    // Queued behind the results already posted, so rows and the inquiry's end
    // arrive in the order the worker produced them.
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_sheet.isNull()) {
        Queue(add);
    }
}

void CQtModuleHost::ShowMessageBox(const std::string& text, const Event* stop) {
    if (OnUiThread()) {
        if (Sheet() != nullptr || stop == nullptr) {
            ShowMessage(text);
        }
        return;
    }
    auto done = std::make_shared<Event>(Event::Mode::Manual);
    {
        auto completion = std::make_shared<Completion>(done);
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_sheet.isNull()) {
            Queue([this, text, completion] {
                if (Sheet() != nullptr) {
                    WithBannersHidden([&text] { ShowMessage(text); });
                }
            });
        }
    }
    if (!done->Valid()) {
        return;
    }
    std::array<Event*, 2> events{done.get(), const_cast<Event*>(stop)};
    const size_t count = stop != nullptr ? 2 : 1;
    WaitAny(std::span<Event* const>(events.data(), count), -1);
}

void CQtModuleHost::ShowBanner(Banner which) {
    if (OnUiThread()) {
        CreateBanner(which);
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_sheet.isNull()) {
        Queue([this, which] { CreateBanner(which); });
    }
}

void CQtModuleHost::HideBanner(Banner which) {
    if (OnUiThread()) {
        DestroyBanner(which);
        return;
    }
    // Queued even after a detach: a banner created just before must not stay.
    Queue([this, which] { DestroyBanner(which); });
}

void CQtModuleHost::WithBannersHidden(const std::function<void()>& show) {
    // The banners stay on top of everything: out of the way while a box is
    // up, so that its text and OK button stay visible.
    const bool checking = !m_checking.isNull() && m_checking->isVisible();
    const bool applying = !m_applying.isNull() && m_applying->isVisible();
    if (checking) {
        m_checking->hide();
    }
    if (applying) {
        m_applying->hide();
    }
    show();
    if (checking && !m_checking.isNull()) {
        m_checking->show();
    }
    if (applying && !m_applying.isNull()) {
        m_applying->show();
    }
}

CWaitDlg* CQtModuleHost::BannerWindow(Banner which) const {
    return which == Banner::Checking ? m_checking.data() : m_applying.data();
}

int CQtModuleHost::BannersCreated(Banner which) const {
    return which == Banner::Checking ? m_nCheckingCreated : m_nApplyingCreated;
}

void CQtModuleHost::CreateBanner(Banner which) {
    CSerialSheet* sheet = Sheet();
    if (sheet == nullptr) {
        return;
    }
    QPointer<CWaitDlg>& slot = which == Banner::Checking ? m_checking : m_applying;
    if (!slot.isNull()) {
        return;
    }
    ++(which == Banner::Checking ? m_nCheckingCreated : m_nApplyingCreated);
    if (which == Banner::Checking) {
        slot = new CWaitDlg(QString::fromLatin1(kCheckingBannerText), 218, 17, sheet);
    } else {
        slot = new CWaitDlg(QString::fromLatin1(kApplyingBannerText), 212, 18, nullptr);
    }
    slot->show();
    slot->raise();
}

void CQtModuleHost::DestroyBanner(Banner which) {
    QPointer<CWaitDlg>& slot = which == Banner::Checking ? m_checking : m_applying;
    if (!slot.isNull()) {
        delete slot.data();
        slot = nullptr;
    }
}

} // namespace norva
