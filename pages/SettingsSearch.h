#pragma once
// The search for a module's UART setting (frontend/DetectJob.h) for a Qt
// dialog: progress and the outcome arrive as signals on the UI thread.

#include "frontend/DetectJob.h"

#include <QObject>
#include <QString>
#include <string>

namespace norva {

class CSettingsSearch : public QObject {
    Q_OBJECT
public:
    explicit CSettingsSearch(QObject* parent = nullptr);
    ~CSettingsSearch() override;

    // UI thread. False when a search is already under way.
    bool Start(const std::string& path);
    // UI thread: the port is closed when it returns, and nothing of the
    // stopped search is reported any more.
    void Stop() { m_job.Stop(); }
    bool Running() const { return m_job.Running(); }

signals:
    void Progress(int index, int count, QString setting);
    void Finished(norva::DetectResult result);

protected:
    bool event(QEvent* event) override;

private:
    DetectJob m_job;
};

// "115200, Even, 2": the dialog's own box texts.
QString SettingText(const LineSettings& s);

} // namespace norva

Q_DECLARE_METATYPE(norva::DetectResult)
