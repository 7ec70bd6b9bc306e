#include "wizard/SessionLog.h"

#include "module/ModuleControl.h"
#include "pages/MessageService.h"
#include "res/strings/StringTable.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace norva {

CSessionLog::CSessionLog(QWidget* parent)
    : QObject(parent), m_parent(parent), m_chooser(&CSessionLog::ChooseWithDialog) {}

CSessionLog::~CSessionLog() {
    SetFailureAction({});
}

void CSessionLog::Attach(CModuleControl& module) {
    m_log.Attach(module);
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
    const QString suggested =
        QDir::home().filePath(QString::fromStdString(SessionLog::SuggestedName()));
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
    std::string why;
    if (!m_log.SaveTo(path.toStdString(), &why)) {
        if (reason != nullptr) {
            *reason = QString::fromStdString(why);
        }
        return false;
    }
    return true;
}

} // namespace norva
