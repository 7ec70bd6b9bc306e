#pragma once
// "Application Setting": COM port and line settings for talking to one unit.

#include "frontend/PortChoices.h"
#include "frontend/UnitSetting.h"
#include "module/SettingsDetect.h"
#include "pages/ThreadHandoff.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

namespace norva {

class CSettingsSearch;
class PortWatcher;

class CPortSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPortSettingDlg(QWidget* parent = nullptr);
    ~CPortSettingDlg() override;

    // Called on the UI thread before a search: whoever holds the port lets
    // it go, or returns false while it cannot (a job is using it).
    void SetPortReleaser(std::function<bool()> release) { m_releasePort = std::move(release); }
    bool Detecting() const;

    // Fills the boxes (fresh port enumeration) and runs the dialog modally.
    int DoModal();

    // Stored values; only the dialog's own OK button changes them.
    int m_nPort = 1;
    int m_nBaudRate = 9600;
    int m_nParity = 0;
    int m_nStopBits = 0;
    UnitSetting Values() const { return {m_nPort, m_nBaudRate, m_nParity, m_nStopBits}; }

    QComboBox* m_cbPort = nullptr;     // 1022, editable, sorted
    QComboBox* m_cbStopBits = nullptr; // 1002
    QComboBox* m_cbParity = nullptr;   // 1001
    QComboBox* m_cbBaudRate = nullptr; // 1000
    QPushButton* m_okButton = nullptr; // 1020
    QPushButton* m_detectButton = nullptr;
    QLabel* m_detectText = nullptr;
    // Under the port box: what to do when no port is there, a NORVAWIZARD_COM
    // variable that names nothing, the chosen port's stable link.
    QLabel* m_portText = nullptr;

    // Reads the ports again, keeping what the port box holds (the dialog
    // does so by itself when an adapter is plugged in or pulled).
    void RefreshPorts();

public slots:
    // The search ends and its port is closed before the dialog closes.
    void done(int result) override;

protected:
    void OnInitDialog();
    void OnOkButton();
    // Starts the search on the port in the port box, or stops it.
    void OnDetectButton();

private:
    void OnDetectProgress(int index, int count, const QString& setting);
    void OnDetectFinished(const DetectResult& result);
    void ShowDetectIdle(const QString& text);
    void FillPorts();
    void ShowPortText();

    PortChoices m_choices;
    std::unique_ptr<PortWatcher> m_watcher;
    QStringList m_warnings;
    // A burst of device events (a node, then its links) reads the list once.
    QTimer m_refreshTimer;
    // Where the watcher's thread posts its calls (the dialog has filters).
    CUiCallReceiver m_watcherCalls;

    CSettingsSearch* m_search = nullptr;
    std::function<bool()> m_releasePort;
    QString m_searchPort; // the port box's text when the search began
};

} // namespace norva
