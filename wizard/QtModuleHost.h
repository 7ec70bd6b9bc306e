#pragma once
// The controller's host in Qt: what frontend/QueuedHost.h carries to the UI
// thread arrives through Qt's event queue and is shown with the sheet's pages,
// message boxes and banner windows.

#include "frontend/QueuedHost.h"

#include <QObject>
#include <QPointer>

namespace norva {

class CSerialSheet;
class CWaitDlg;

class CQtModuleHost : public QObject, public QueuedModuleHost {
    Q_OBJECT
public:
    // Created on the UI thread; must outlive the controller it serves.
    explicit CQtModuleHost(CSerialSheet* sheet);
    ~CQtModuleHost() override;

    // UI thread: the banner window now shown, or null.
    CWaitDlg* BannerWindow(Banner which) const;
    // UI thread: how many banner windows of this kind were created so far.
    int BannersCreated(Banner which) const;

protected:
    bool event(QEvent* event) override;

    void PostResult(int code, int jobId, int generation) override;
    void Queue(std::function<void()> call) override;
    bool OnUiThread() const override;
    void AddRowNow(const std::string& address, const std::string& name,
                   const std::string& classOfDevice) override;
    void ShowBoxNow(const std::string& text) override;
    void CreateBannerNow(Banner which) override;
    void DestroyBannerNow(Banner which) override;
    bool HideBannerWindow(Banner which) override;
    void ShowBannerWindow(Banner which) override;

private:
    QPointer<CWaitDlg>& Slot(Banner which) {
        return which == Banner::Checking ? m_checking : m_applying;
    }

    // Read only by the UI thread, and by the worker under the base's lock
    // while attached: the sheet outlives the attachment.
    CSerialSheet* m_sheet;
    QPointer<CWaitDlg> m_checking;
    QPointer<CWaitDlg> m_applying;
    int m_nCheckingCreated = 0;
    int m_nApplyingCreated = 0;
};

} // namespace norva
