#pragma once
// The controller's host for a front end with a UI thread, whichever toolkit
// draws it: everything the worker asks for is carried to the UI thread; a box
// the worker asks for blocks the worker until it is answered or its job is
// stopped; nothing reaches the window once it has detached. A front end
// supplies the hand-off and the drawing.

#include "module/ModuleHost.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace norva {

class CModuleControl;

class QueuedModuleHost : public IModuleHost {
public:
    // UI thread: from now on results, rows and boxes are dropped and the
    // banners are gone.
    void Detach();
    // The controller whose results this host carries: each result is stamped
    // with the open it belongs to.
    void SetModule(const CModuleControl* module) { m_module.store(module); }

    void PostJobResult(int code, int jobId) final;
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice) final;
    void ShowMessageBox(const std::string& text, const Event* stop) final;
    void ShowBanner(Banner which) final;
    void HideBanner(Banner which) final;

    // UI thread: runs `show` (a message box) with the banners out of the way,
    // so that its text and OK button stay visible.
    void WithBannersHidden(const std::function<void()>& show);

protected:
    // A derived destructor detaches first, while its banners still exist.
    ~QueuedModuleHost() override = default;

    // Any thread, with the window attached: posts the result to the UI thread;
    // `generation` is the controller's Generation() now, -1 without one.
    virtual void PostResult(int code, int jobId, int generation) = 0;
    // Any thread: runs `call` on the UI thread, after what was queued before;
    // a call dropped unrun (window gone) is destroyed all the same.
    virtual void Queue(std::function<void()> call) = 0;
    virtual bool OnUiThread() const = 0;

    // UI thread only.
    virtual void AddRowNow(const std::string& address, const std::string& name,
                           const std::string& classOfDevice) = 0;
    virtual void ShowBoxNow(const std::string& text) = 0;
    // Makes the banner's window unless it exists.
    virtual void CreateBannerNow(Banner which) = 0;
    virtual void DestroyBannerNow(Banner which) = 0;
    // Hides a shown banner and says whether it was shown; shows it again.
    virtual bool HideBannerWindow(Banner which) = 0;
    virtual void ShowBannerWindow(Banner which) = 0;

    bool Attached() const;

private:
    mutable std::mutex m_lock;
    bool m_attached = true;
    std::atomic<const CModuleControl*> m_module{nullptr};
};

} // namespace norva
