#pragma once
// Step 5: Norva-BX02 searches; the user picks Norva-BX01's address from the
// list and connects to it.

#include "frontend/PageRules.h"
#include "pages/ProgressDialogs.h"
#include "pages/PropertyPage.h"

#include <QFont>
#include <QString>
#include <QTimer>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace norva {

class CConnection : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 139;
    static constexpr int kSearchTimerId = pages::kSearchTimerId;
    static constexpr int kSearchTimerMs = pages::kSearchTimerMs;
    static constexpr int kProgressRange = pages::kProgressRange;

    explicit CConnection(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    // Next never leaves this page: the sheet moves on after a connection.
    int OnWizardNext() override { return -1; }

    // Display operations the sheet and its dispatch call.
    void BeginSearchDisplay();
    void EndSearchDisplay();
    void EnableConnectButtons();
    void OnConnected();
    // Button 1011, enabled or disabled by the sheet.
    void EnableSearchButton(bool enable);
    // One device found by the inquiry, appended at the end of the list.
    void AddDeviceRow(const QString& address, const QString& name, const QString& classOfDevice);

    // One step of the search animation; only timer 100 moves the bar.
    void OnTimer(int timerId);
    void OnSearchButton();
    void OnConnectButton();

    QFont m_font;
    CConnectingDlg m_connectingDlg;
    int m_nProgress = 0;
    int m_bSearching = 0;
    QTableWidget* m_list = nullptr;      // 1005
    QProgressBar* m_progress = nullptr;  // 1008
    QString m_strAddress;                // 1014
    QLineEdit* m_editAddress = nullptr;  // 1014
    QPushButton* m_btnConnect = nullptr; // 1006
    QPushButton* m_btnSearch = nullptr;  // 1011
    QTimer m_searchTimer;                // timer 100

private:
    void OnItemChanged();
};

} // namespace norva
