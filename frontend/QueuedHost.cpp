#include "frontend/QueuedHost.h"

#include "module/ModuleControl.h"
#include "platform/Event.h"

#include <array>
#include <memory>
#include <span>

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

bool QueuedModuleHost::Attached() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_attached;
}

void QueuedModuleHost::Detach() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_attached = false;
    }
    DestroyBannerNow(Banner::Checking);
    DestroyBannerNow(Banner::Applying);
}

void QueuedModuleHost::PostJobResult(int code, int jobId) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_attached) {
        const CModuleControl* module = m_module.load();
        PostResult(code, jobId, module != nullptr ? module->Generation() : -1);
    }
}

void QueuedModuleHost::AddDeviceRow(const std::string& address, const std::string& name,
                                    const std::string& classOfDevice) {
    auto add = [this, address, name, classOfDevice] {
        if (Attached()) {
            AddRowNow(address, name, classOfDevice);
        }
    };
    if (OnUiThread()) {
        add();
        return;
    }
    // Queued behind the results already posted, so rows and the inquiry's end
    // arrive in the order the worker produced them.
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_attached) {
        Queue(add);
    }
}

void QueuedModuleHost::ShowMessageBox(const std::string& text, const Event* stop) {
    if (OnUiThread()) {
        if (Attached() || stop == nullptr) {
            ShowBoxNow(text);
        }
        return;
    }
    auto done = std::make_shared<Event>(Event::Mode::Manual);
    {
        auto completion = std::make_shared<Completion>(done);
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_attached) {
            Queue([this, text, completion] {
                if (Attached()) {
                    WithBannersHidden([this, &text] { ShowBoxNow(text); });
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

void QueuedModuleHost::ShowBanner(Banner which) {
    auto create = [this, which] {
        if (Attached()) {
            CreateBannerNow(which);
        }
    };
    if (OnUiThread()) {
        create();
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_attached) {
        Queue(create);
    }
}

void QueuedModuleHost::HideBanner(Banner which) {
    if (OnUiThread()) {
        DestroyBannerNow(which);
        return;
    }
    // Queued even after a detach: a banner created just before must not stay.
    Queue([this, which] { DestroyBannerNow(which); });
}

void QueuedModuleHost::WithBannersHidden(const std::function<void()>& show) {
    // The banners stay on top of everything: out of the way while a box is up.
    const bool checking = HideBannerWindow(Banner::Checking);
    const bool applying = HideBannerWindow(Banner::Applying);
    show();
    if (checking) {
        ShowBannerWindow(Banner::Checking);
    }
    if (applying) {
        ShowBannerWindow(Banner::Applying);
    }
}

} // namespace norva
