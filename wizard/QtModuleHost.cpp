#include "wizard/QtModuleHost.h"

#include "pages/Connection.h"
#include "pages/MessageService.h"
#include "pages/ProgressDialogs.h"
#include "pages/SheetMessages.h"
#include "pages/ThreadHandoff.h"
#include "res/strings/StringTable.h"
#include "wizard/SerialSheet.h"

#include <QCoreApplication>
#include <QThread>

namespace norva {

CQtModuleHost::CQtModuleHost(CSerialSheet* sheet) : m_sheet(sheet) {}

CQtModuleHost::~CQtModuleHost() {
    Detach();
}

bool CQtModuleHost::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

void CQtModuleHost::PostResult(int code, int jobId, int generation) {
    auto* event = new SheetEvent(WM_JOB_RESULT, code, jobId, generation);
    MarkPublished();
    QCoreApplication::postEvent(m_sheet, event);
}

void CQtModuleHost::Queue(std::function<void()> call) {
    PostUiCall(this, std::move(call));
}

bool CQtModuleHost::OnUiThread() const {
    return QThread::currentThread() == thread();
}

void CQtModuleHost::AddRowNow(const std::string& address, const std::string& name,
                              const std::string& classOfDevice) {
    if (m_sheet->ConnectionPage() != nullptr) {
        m_sheet->ConnectionPage()->AddDeviceRow(QString::fromStdString(address),
                                                QString::fromStdString(name),
                                                QString::fromStdString(classOfDevice));
    }
}

void CQtModuleHost::ShowBoxNow(const std::string& text) {
    ShowMessage(text);
}

CWaitDlg* CQtModuleHost::BannerWindow(Banner which) const {
    return which == Banner::Checking ? m_checking.data() : m_applying.data();
}

int CQtModuleHost::BannersCreated(Banner which) const {
    return which == Banner::Checking ? m_nCheckingCreated : m_nApplyingCreated;
}

void CQtModuleHost::CreateBannerNow(Banner which) {
    QPointer<CWaitDlg>& slot = Slot(which);
    if (!slot.isNull()) {
        return;
    }
    ++(which == Banner::Checking ? m_nCheckingCreated : m_nApplyingCreated);
    if (which == Banner::Checking) {
        slot = new CWaitDlg(QString::fromLatin1(kCheckingBannerText), 218, 17, m_sheet);
    } else {
        slot = new CWaitDlg(QString::fromLatin1(kApplyingBannerText), 212, 18, nullptr);
    }
    slot->show();
    slot->raise();
}

void CQtModuleHost::DestroyBannerNow(Banner which) {
    QPointer<CWaitDlg>& slot = Slot(which);
    if (!slot.isNull()) {
        delete slot.data();
        slot = nullptr;
    }
}

bool CQtModuleHost::HideBannerWindow(Banner which) {
    QPointer<CWaitDlg>& slot = Slot(which);
    if (slot.isNull() || !slot->isVisible()) {
        return false;
    }
    slot->hide();
    return true;
}

void CQtModuleHost::ShowBannerWindow(Banner which) {
    QPointer<CWaitDlg>& slot = Slot(which);
    if (!slot.isNull()) {
        slot->show();
    }
}

} // namespace norva
