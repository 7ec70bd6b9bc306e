#pragma once
// "Application Setting": COM port and line settings for talking to one unit.

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

namespace norva {

class CPortSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPortSettingDlg(QWidget* parent = nullptr);

    // Fills the boxes (fresh port enumeration) and runs the dialog modally.
    int DoModal();

    // Stored values; only the dialog's own OK button changes them.
    int m_nPort = 1;
    int m_nBaudRate = 9600;
    int m_nParity = 0;
    int m_nStopBits = 0;

    QComboBox* m_cbPort = nullptr;     // 1022, editable, sorted
    QComboBox* m_cbStopBits = nullptr; // 1002
    QComboBox* m_cbParity = nullptr;   // 1001
    QComboBox* m_cbBaudRate = nullptr; // 1000
    QPushButton* m_okButton = nullptr; // 1020

protected:
    void OnInitDialog();
    void OnOkButton();
};

} // namespace norva
