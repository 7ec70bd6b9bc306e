#pragma once
// The session log (frontend/SessionLog.h) with Qt's file dialog, offered
// with every failure's box.

#include "frontend/SessionLog.h"

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace norva {

class CModuleControl;

class CSessionLog : public QObject {
    Q_OBJECT
public:
    // Picks the file to write; an empty path: the user cancelled.
    using PathChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    explicit CSessionLog(QWidget* parent);
    ~CSessionLog() override;

    // Records `module`'s line from now on and offers saving with every
    // failure. The log must outlive the module's port.
    void Attach(CModuleControl& module);
    // UI thread: asks for a path and writes the log there; tells the user
    // when the file could not be written, and why.
    void SaveWithDialog();
    // Writes the log to `path`; false with the reason when it could not.
    bool SaveTo(const QString& path, QString* reason) const;

    const CTranscriptBuffer& Buffer() const { return m_log.Buffer(); }
    // Where other lines of the session (Verify's own) are written.
    ITranscript* Transcript() { return m_log.Transcript(); }
    // Text written after the transcript, asked for at each save.
    void SetTrailer(std::function<std::string()> trailer) { m_log.SetTrailer(std::move(trailer)); }
    // Tests and embedders may replace the file dialog.
    void SetPathChooser(PathChooser chooser) { m_chooser = std::move(chooser); }
    // The non-native file dialog the log is saved through by default.
    static QString ChooseWithDialog(QWidget* parent, const QString& suggested);

private:
    QWidget* m_parent;
    SessionLog m_log;
    PathChooser m_chooser;
};

} // namespace norva
