#pragma once
// The session's serial transcript, kept in memory from the moment the sheet
// creates its controller and written to a file only when the user asks:
// the "Save log..." button on step 9 and on every failure's box.

#include "serial/TranscriptBuffer.h"

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

    const CTranscriptBuffer& Buffer() const { return m_buffer; }
    // Where other lines of the session (Verify's own) are written.
    ITranscript* Transcript() { return &m_buffer; }
    // Text written after the transcript, asked for at each save.
    void SetTrailer(std::function<std::string()> trailer) { m_trailer = std::move(trailer); }
    // Tests and embedders may replace the file dialog.
    void SetPathChooser(PathChooser chooser) { m_chooser = std::move(chooser); }
    // The non-native file dialog the log is saved through by default.
    static QString ChooseWithDialog(QWidget* parent, const QString& suggested);

private:
    QWidget* m_parent;
    CTranscriptBuffer m_buffer;
    PathChooser m_chooser;
    std::function<std::string()> m_trailer;
};

} // namespace norva
