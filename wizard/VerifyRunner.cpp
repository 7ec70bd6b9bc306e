#include "wizard/VerifyRunner.h"

#include "wizard/SessionLog.h"

#include "module/ModuleControl.h"
#include "pages/MessageService.h"
#include "pages/Mode.h"
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

flow::VerifyLine LineOf(int baud, int parity, int stopBits) {
    return {baud, parity, stopBits};
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
    // The one step that needs the person: switching the unit that is not on the cable.
    m_text->setText(step == flow::VerifyStep::WaitingForPartner
                        ? Text(IDS_VERIFY_POWER_CYCLE)
                        : Text(IDS_VERIFY_PROGRESS) + QStringLiteral("\nNorva-BX0%1").arg(unit));
}

void CVerifyDialog::reject() {
    // The dialog stays until the check has ended, so that it is never hidden while units are
    // still being restarted.
    m_cancelButton->setEnabled(false);
    emit CancelRequested();
}

CVerifyRunner::CVerifyRunner(QWidget* parent) : QObject(parent), m_parent(parent) {}

CVerifyRunner::~CVerifyRunner() {
    m_stop.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::vector<flow::UnitToVerify> CVerifyRunner::UnitsOf(const CSerialSheet& sheet) {
    const CPortSettingDlg& s1 = sheet.m_unit1Setting;
    const CPortSettingDlg& s2 = sheet.m_unit2Setting;
    const CModePageBase* mode1 = sheet.Mode1Page(); // step 8: unit 1
    const CModePageBase* mode2 = sheet.ModePage();  // step 7: unit 2
    flow::UnitToVerify u1;
    u1.unit = 1;
    u1.comPort = s1.m_nPort;
    u1.now = LineOf(s1.m_nBaudRate, s1.m_nParity, s1.m_nStopBits);
    u1.stored = LineOf(mode1->m_nBaudRate, mode1->m_nParity, mode1->m_nStopBits);
    u1.partner = sheet.Unit2Address();
    u1.name = sheet.Flow().UnitName(1);
    u1.askedMode = 2;
    u1.askedFlow = mode1->m_bFlowControl;
    if (s1.m_nPort == s2.m_nPort) {
        return {u1};
    }
    flow::UnitToVerify u2;
    u2.unit = 2;
    u2.comPort = s2.m_nPort;
    u2.now = LineOf(s2.m_nBaudRate, s2.m_nParity, s2.m_nStopBits);
    u2.stored = LineOf(mode2->m_nBaudRate, mode2->m_nParity, mode2->m_nStopBits);
    u2.partner = sheet.Unit1Address();
    u2.name = sheet.Flow().UnitName(2);
    u2.askedMode = 1;
    u2.askedFlow = mode2->m_bFlowControl;
    return {u1, u2};
}

bool CVerifyRunner::Start(CSerialSheet& sheet) {
    if (m_running) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join(); // the last check's thread has posted its result: it is ending
    }
    std::vector<flow::UnitToVerify> units = UnitsOf(sheet);
    // The verifier opens the ports itself; the sheet's worker is idle at step 9.
    if (CModuleControl* module = sheet.Module()) {
        module->ClosePort();
    }
    m_stop.Reset();
    m_running = true;
    if (!m_dialog) {
        m_dialog = new CVerifyDialog(m_parent);
        connect(m_dialog, &CVerifyDialog::CancelRequested, this, &CVerifyRunner::Cancel);
    }
    m_dialog->m_cancelButton->setEnabled(true);
    m_dialog->m_text->setText(Text(IDS_VERIFY_PROGRESS));
    m_dialog->show();
    // The check's lines go into the session log with the wizard's own.
    ITranscript* transcript = sheet.Log() != nullptr ? sheet.Log()->Transcript() : nullptr;
    m_thread = std::thread([this, units = std::move(units), transcript] {
        auto progress = [this](int unit, flow::VerifyStep step) {
            if (step != flow::VerifyStep::Finished) {
                Post([this, unit, step] {
                    if (m_dialog) {
                        m_dialog->SetUnit(unit, step);
                    }
                });
            }
        };
        flow::VerifyOptions options;
        options.transcript = transcript;
        // The dialog asks for the power cycle and offers Cancel while the link is awaited.
        options.askPartnerPowerCycle = [] { return true; };
        flow::VerifyResult result = flow::VerifyPair(units, &m_stop, progress, options);
        Post([this, result] { OnResult(result); });
    });
    return true;
}

void CVerifyRunner::Post(std::function<void()> call) {
    PostUiCall(this, std::move(call));
}

bool CVerifyRunner::event(QEvent* event) {
    return RunUiCall(event) || QObject::event(event);
}

void CVerifyRunner::Cancel() {
    m_stop.Set();
}

void CVerifyRunner::Shutdown() {
    m_stop.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CVerifyRunner::OnResult(const flow::VerifyResult& result) {
    m_running = false;
    m_last = result;
    if (m_dialog) {
        m_dialog->hide();
    }
    QString details;
    for (const flow::UnitVerifyResult& u : result.units) {
        details += (details.isEmpty() ? QString() : QStringLiteral("\n")) +
                   QString::fromStdString(flow::DescribeUnitResult(u));
    }
    if (result.Verified()) {
        ShowMessage(Text(IDS_VERIFY_PAIR_OK), details);
    } else {
        // Like every failure's box, it offers to save the log.
        ShowFailure(Text(IDS_VERIFY_PAIR_NOT), details);
    }
    emit Finished(result.Verified());
}

} // namespace norva
