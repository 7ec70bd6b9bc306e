#include "wizard/VerifyRunner.h"

#include "wizard/SessionLog.h"

#include "module/ModuleControl.h"
#include "pages/MessageService.h"
#include "pages/ThreadHandoff.h"
#include "res/strings/StringTable.h"
#include "wizard/SerialSheet.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norva {

namespace {

QString Text(int id) {
    return QString::fromStdString(LoadString(id));
}

} // namespace

CVerifyDialog::CVerifyDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("verifyDialog"));
    setWindowTitle(Text(IDS_VERIFY_BUTTON).remove(QLatin1Char('&')));
    setWindowModality(Qt::WindowModal);
    m_text = new QLabel(Text(IDS_VERIFY_PROGRESS), this);
    m_text->setObjectName(QStringLiteral("verifyProgressText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
    connect(m_cancelButton, &QPushButton::clicked, this, &CVerifyDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
}

void CVerifyDialog::SetUnit(int unit, flow::VerifyStep step) {
    m_text->setText(QString::fromStdString(VerifyProgressText(unit, step)));
}

void CVerifyDialog::reject() {
    // The dialog stays until the check has ended, so that it is never hidden while units are
    // still being restarted.
    m_cancelButton->setEnabled(false);
    emit CancelRequested();
}

CVerifyRunner::CVerifyRunner(QWidget* parent)
    : QObject(parent), m_parent(parent),
      m_job([this](std::function<void()> call) { PostUiCall(this, std::move(call)); }) {}

CVerifyRunner::~CVerifyRunner() {
    m_job.Shutdown();
}

std::vector<flow::UnitToVerify> CVerifyRunner::UnitsOf(const CSerialSheet& sheet) {
    return UnitsToVerify(sheet);
}

bool CVerifyRunner::Start(CSerialSheet& sheet) {
    if (m_job.Running()) {
        return false;
    }
    std::vector<flow::UnitToVerify> units = UnitsOf(sheet);
    // The verifier opens the ports itself; the sheet's worker is idle at step 9.
    if (CModuleControl* module = sheet.Module()) {
        module->ClosePort();
    }
    if (!m_dialog) {
        m_dialog = new CVerifyDialog(m_parent);
        connect(m_dialog, &CVerifyDialog::CancelRequested, this, &CVerifyRunner::Cancel);
    }
    m_dialog->m_cancelButton->setEnabled(true);
    m_dialog->m_text->setText(Text(IDS_VERIFY_PROGRESS));
    m_dialog->show();
    // The check's lines go into the session log with the wizard's own.
    ITranscript* transcript = sheet.Log() != nullptr ? sheet.Log()->Transcript() : nullptr;
    return m_job.Start(
        std::move(units), transcript,
        [this](int unit, flow::VerifyStep step) {
            if (m_dialog) {
                m_dialog->SetUnit(unit, step);
            }
        },
        [this](const flow::VerifyResult& result) { OnResult(result); });
}

bool CVerifyRunner::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

void CVerifyRunner::Cancel() {
    m_job.Cancel();
}

void CVerifyRunner::Shutdown() {
    m_job.Shutdown();
}

void CVerifyRunner::OnResult(const flow::VerifyResult& result) {
    if (m_dialog) {
        m_dialog->hide();
    }
    const QString headline = QString::fromStdString(VerifyHeadline(result));
    const QString details = QString::fromStdString(VerifyDetails(result));
    if (result.Verified()) {
        ShowMessage(headline, details);
    } else {
        // Like every failure's box, it offers to save the log.
        ShowFailure(headline, details);
    }
    emit Finished(result.Verified());
}

} // namespace norva
