#pragma once
// The controller's host in Qt: everything the worker asks for is carried to
// the UI thread; nothing reaches the sheet once it has detached.

#include "module/ModuleHost.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>

namespace norva {

class CModuleControl;
class CSerialSheet;
class CWaitDlg;

class CQtModuleHost : public QObject, public IModuleHost {
    Q_OBJECT
public:
    // Created on the UI thread; must outlive the controller it serves.
    explicit CQtModuleHost(CSerialSheet* sheet);
    ~CQtModuleHost() override;

    // UI thread: from now on results, rows and boxes are dropped and the
    // banners are gone.
    void Detach();
    // The controller whose results this host carries: each result is
    // stamped with the open it belongs to.
    void SetModule(const CModuleControl* module) { m_module.store(module); }

    void PostJobResult(int code, int jobId) override;
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice) override;
    void ShowMessageBox(const std::string& text, const Event* stop) override;
    void ShowBanner(Banner which) override;
    void HideBanner(Banner which) override;

    // UI thread: runs `show` (a message box) with the banners hidden.
    void WithBannersHidden(const std::function<void()>& show);
    // UI thread: the banner window now shown, or null.
    CWaitDlg* BannerWindow(Banner which) const;
    // UI thread: how many banner windows of this kind were created so far.
    int BannersCreated(Banner which) const;

protected:
    bool event(QEvent* event) override;

private:
    // Runs `call` on the UI thread, after everything queued before it.
    void Queue(std::function<void()> call);
    bool OnUiThread() const;
    // UI thread only.
    void CreateBanner(Banner which);
    void DestroyBanner(Banner which);
    CSerialSheet* Sheet() const;

    mutable std::mutex m_lock;
    std::atomic<const CModuleControl*> m_module{nullptr};
    QPointer<CSerialSheet> m_sheet;
    QPointer<CWaitDlg> m_checking;
    QPointer<CWaitDlg> m_applying;
    int m_nCheckingCreated = 0;
    int m_nApplyingCreated = 0;
};

} // namespace norva
