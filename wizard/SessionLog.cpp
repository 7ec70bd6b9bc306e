#include "wizard/SessionLog.h"

#include "module/ModuleControl.h"
#include "pages/MessageService.h"
#include "res/strings/StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QPointer>
#include <QSaveFile>

namespace norva {

CSessionLog::CSessionLog(QWidget* parent)
    : QObject(parent), m_parent(parent), m_chooser(&CSessionLog::ChooseWithDialog) {}

CSessionLog::~CSessionLog() {
    SetFailureAction({});
}

void CSessionLog::Attach(CModuleControl& module) {
    // Before the first open, so that the open is in the log.
    module.SetTranscript(&m_buffer);
    // A box may outlive the sheet it was shown for.
    QPointer<CSessionLog> self(this);
    SetFailureAction({QString::fromStdString(LoadString(IDS_SAVE_LOG)), [self] {
                          if (self) {
                              self->SaveWithDialog();
                          }
                      }});
}

QString CSessionLog::ChooseWithDialog(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, QString::fromStdString(LoadString(IDS_SAVE_LOG_TITLE)));
    // Qt's own dialog: the same on every desktop, and one that tests can
    // drive on the offscreen platform.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("saveLogDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.setNameFilters({QStringLiteral("*.log"), QStringLiteral("*")});
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void CSessionLog::SaveWithDialog() {
    const QString suggested = QDir::home().filePath(
        QStringLiteral("norvawizard-%1.log")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path = m_chooser(m_parent, suggested);
    if (path.isEmpty()) {
        return;
    }
    QString reason;
    if (!SaveTo(path, &reason)) {
        // Told as a failure: its box offers saving again, elsewhere.
        ShowFailure(FormatString(IDS_SAVE_LOG_FAILED, {path.toStdString(), reason.toStdString()}));
        return;
    }
    ShowMessage(FormatString(IDS_LOG_SAVED, {path.toStdString()}));
}

bool CSessionLog::SaveTo(const QString& path, QString* reason) const {
    // All or nothing: a full disk must not leave half a log under the name.
    QSaveFile file(path);
    const std::string text = m_buffer.Text() + (m_trailer ? m_trailer() : std::string());
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        if (reason != nullptr) {
            *reason = file.errorString();
        }
        return false;
    }
    return true;
}

} // namespace norva
