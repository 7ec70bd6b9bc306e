#pragma once
// Step 9: auto-connection mode is configured in both units.

#include "pages/PropertyPage.h"

#include <QFont>

class QLabel;
class QPushButton;

namespace norva {

class CVerifyRunner;

class CModeSuccess : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int IDD = 138;
    explicit CModeSuccess(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;

    QFont m_fontBold;
    QLabel* m_textConfigured = nullptr; // 1021, bold
    // Restarts the units and proves that they link (wizard/VerifyRunner).
    QPushButton* m_btnVerify = nullptr;
    CVerifyRunner* m_verify = nullptr;
};

} // namespace norva
